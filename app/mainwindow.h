#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QMainWindow>

namespace Ui {
class MainWindow;
}

class ConfigTransfer;
class EnergizerLink;
class QLabel;
class SettingsDlg;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QString buttonStyleSheet() const;

    // Enables CONFIG when the received block's installer PIN matches the settings'.
    void checkInstallerPin();
    // Decodes one status reply into the energizer object.
    void decodeStatus(const QByteArray& reply);
    EnergizerLink* link() const { return m_link; }

private slots:
    void paramChanged();
    void energCommand();
    void showConfig();
    void showScope();
    void serialParams();
    void readData();
    void energizerConnecting();
    void closeConnection();
    void timerTick();
    void displayError(QAbstractSocket::SocketError socketError);
    void connected();

public slots:
    void writeData(const QByteArray& data);

private:
    void statusReceived();
    void configReceived(const QByteArray& reply);
    void openManual();

    Ui::MainWindow* ui;
    QLabel* statusLabel = nullptr;
    QLabel* statusFiller = nullptr;
    SettingsDlg* settingsDlg = nullptr;
    EnergizerLink* m_link = nullptr;
    ConfigTransfer* m_transfer = nullptr;
};
