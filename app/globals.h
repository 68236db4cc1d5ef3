#pragma once

class MainWindow;
class QTimer;
class QSerialPort;
class ConfigDlg;
class Energizer;

// Process-wide objects, set once by the MainWindow constructor.
extern MainWindow* mainWindow;
extern QTimer* pollTimer;
extern QSerialPort* serialPort;
extern ConfigDlg* configDlg;
extern Energizer* energizer;
