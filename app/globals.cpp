#include "app/globals.h"

MainWindow* mainWindow = nullptr;
QTimer* pollTimer = nullptr;
QSerialPort* serialPort = nullptr;
ConfigDlg* configDlg = nullptr;
Energizer* energizer = nullptr;
