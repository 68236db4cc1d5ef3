#pragma once

#include "settings/settings.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

class Energizer;
class QTcpSocket;
class QUdpSocket;
class ReplyAssembler;

// The one link to one energizer: serial port, UDP (module as server or
// client) or TCP (module as server). Owns its port, sockets and reply
// assembler; keeps the given Energizer object up to date from status replies
// and resets it when replies stop. Sending is fire-and-forget; a send that
// finds the link down starts reopening it and drops the frame. Needs no
// widget: the window, the command-line tool and the tests drive it alike.
class EnergizerLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int StaleReplyMs = 3000;     // status older than this is reset at the next send
    static constexpr int ConnectTimeoutMs = 2000; // a TCP connect attempt not done by then is aborted
    static constexpr int DeadTcpMs = 5000;        // an open TCP connection this long without a reply is renewed

    EnergizerLink(Energizer& energizer, QObject* parent = nullptr);
    ~EnergizerLink() override;

    // Taken by open(), send() and close(); applies at the next open().
    void setSettings(const Settings& settings);
    const Settings& settings() const { return m_settings; }

    // (Re)opens the link of the settings. Emits opened() once the serial port
    // is open or the network connect has started.
    void open();
    // Closes the link and marks the energizer off line.
    void close();
    // Sends one frame; true when it was handed to an open port or connected
    // socket. Runs the staleness reset first; reopens a link that is down.
    bool send(const QByteArray& frame);
    // A status request with the energizer's address.
    bool pollStatus();
    bool requestConfig();

    // Takes what the current transport has received (connected to readyRead).
    void readData();
    // The debug traces of a socket error and of a completed connect.
    void displayError(QAbstractSocket::SocketError socketError);
    void connected();

    Energizer& energizer() const { return m_energizer; }
    QSerialPort* serialPort() const { return m_serialPort; }
    // True while frames can go out now (port open, socket connected).
    bool isUsable() const;

signals:
    // The status-bar text of the link ("Connecting to 127.0.0.1 : 6128", ...).
    void linkText(const QString& text);
    // The link was started; the window asks for the configuration here.
    void opened();
    // Frames can go out now: the serial port opened or a socket connected.
    void usable();
    // A socket reported an error (refused, unreachable, ...), with its text.
    void socketError(const QString& reason);
    // A status reply was decoded into the energizer object (already updated).
    void statusReceived(const QByteArray& reply);
    // A 52-byte configuration reply.
    void configReceived(const QByteArray& reply);
    void unknownResponse(quint8 code);
    // The energizer went off line (closed, port lost, replies stale).
    void wentOffline();
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
    QString serialLinkText() const;
    QAbstractSocket* socket() const;
    void readTcp();

    Energizer& m_energizer;
    Settings m_settings;
    QSerialPort* m_serialPort;
    QUdpSocket* m_udpSocket;
    QTcpSocket* m_tcpSocket;
    ReplyAssembler* m_assembler;
    QTimer m_connectTimer;
    QElapsedTimer m_replyTime;     // since the last status reply
    QElapsedTimer m_tcpQuietTime;  // since the TCP connection came up or last gave a reply
    qint32 m_pendingBytes = 0;
};
