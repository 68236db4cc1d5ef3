#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QMainWindow>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTime>
#include <QUdpSocket>

namespace Ui {
class MainWindow;
}

class QLabel;
class ReplyAssembler;
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

private slots:
    void serialPortError(QSerialPort::SerialPortError error);

private:
    void dispatchReply(const QByteArray& reply);
    // Data-terminal-ready, where a port that cannot tell counts as ready.
    bool terminalReady();
    QString serialLinkText() const;

    Ui::MainWindow* ui;
    QLabel* statusLabel = nullptr;
    QLabel* statusFiller = nullptr;
    SettingsDlg* settingsDlg = nullptr;
    QTime replyTime;
    QUdpSocket udpSocket;
    QTcpSocket tcpSocket;
    qint32 pendingBytes = 0;
    ReplyAssembler* replyAssembler = nullptr;
};
