#pragma once

#include "link/linkstatus.h"
#include "protocol/settings.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

class QTcpSocket;
class QUdpSocket;
class ReplyAssembler;

// One line to the energizers: serial port, UDP (module as server or client)
// or TCP (module as server). Owns its port, sockets and reply assembler and
// hands on whole replies; knows nothing of which energizer asked. A write
// that finds the line down starts reopening it and drops the frame.
class LinkTransport : public QObject
{
    Q_OBJECT
public:
    static constexpr int ConnectTimeoutMs = 2000; // a TCP connect attempt not done by then is aborted
    static constexpr int DeadTcpMs = 5000;        // an open TCP connection this long without a reply is renewed

    explicit LinkTransport(QObject* parent = nullptr);
    ~LinkTransport() override;

    // Taken by open(), write() and close(); applies at the next open().
    void setSettings(const Settings& settings);
    const Settings& settings() const { return m_settings; }

    // (Re)opens the line of the settings. Emits opened() once the serial port
    // is open or the network connect has started.
    void open();
    void close();
    // True when the frame was handed to an open port or connected socket.
    bool write(const QByteArray& frame);

    // Takes what the current transport has received (connected to readyRead).
    void readData();
    // The debug traces of a socket error and of a completed connect.
    void displayError(QAbstractSocket::SocketError socketError);
    void connected();

    QSerialPort* serialDevice() const { return m_serialPort; }
    // True while frames can go out now (port open, socket connected).
    bool isUsable() const;
    bool isSerial() const { return m_settings.linkKind() == LinkKind::Serial; }

signals:
    // Opened, connecting, data, failures: what the status bar and the tools report.
    void statusChanged(const LinkStatus& status);
    void opened();
    void serialOpened();
    // Frames can go out now: the serial port opened or a socket connected.
    void usable();
    // A framed reply, not yet attributed to anyone.
    void replyReady(const QByteArray& reply);
    void unknownResponse(quint8 code);
    // The line was closed or lost.
    void closed();
    // A frame was due on a serial port whose terminal is not ready.
    void terminalNotReady();
    // Every frame sent and every reply taken, for -v style traces.
    void frameSent(const QByteArray& frame);
    void replyTaken(const QByteArray& reply);

private:
    void openSerial();
    void openNetwork();
    bool sendSerial(const QByteArray& frame);
    bool sendNetwork(const QByteArray& frame);
    void dispatchReply(const QByteArray& reply);
    void serialPortError(QSerialPort::SerialPortError error);
    void abortStalledConnect();
    void setOffline();
    bool terminalReady();
    LinkStatus status(LinkStatus::Kind kind, const QString& systemText = QString()) const;
    QAbstractSocket* socket() const;
    void readTcp();

    Settings m_settings;
    QSerialPort* m_serialPort;
    QUdpSocket* m_udpSocket;
    QTcpSocket* m_tcpSocket;
    ReplyAssembler* m_assembler;
    QTimer m_connectTimer;
    QElapsedTimer m_tcpQuietTime;  // since the TCP connection came up or last gave a reply
};
