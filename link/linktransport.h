#pragma once

#include "link/linkspec.h"
#include "link/linkstatus.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>

class QSerialPort;
class ReplyAssembler;

// One line to the energizers, of the kind its LinkSpec names: serial port,
// UDP (module as server or client) or TCP (module as server). Owns its port
// or socket and reply assembler and hands on whole replies; knows nothing of
// which energizer asked. A write that finds the line down starts reopening
// it and drops the frame.
class LinkTransport : public QObject
{
    Q_OBJECT
public:
    // The one place that picks the class for a link's kind.
    static LinkTransport* create(const LinkSpec& lineSpec, QObject* parent);
    ~LinkTransport() override;

    const LinkSpec& lineSpec() const { return m_spec; }
    // Of the same kind; applies at the next open().
    void setSpec(const LinkSpec& lineSpec) { m_spec = lineSpec; }

    // (Re)opens the line. Emits opened() once the serial port is open or the network connect has started.
    void open();
    void close();
    // True when the frame was handed to an open port or connected socket.
    bool write(const QByteArray& frame);

    // Takes what the port or socket has received (connected to readyRead).
    virtual void readData() = 0;
    // True while frames can go out now (port open, socket connected).
    virtual bool isUsable() const = 0;
    // How long the bytes take on the line; -1 for a network link, which sets no pace of its own.
    virtual int wireMs(int bytes) const;
    virtual QSerialPort* serialDevice() const { return nullptr; }
    // The debug traces of a socket error and of a completed connect.
    void displayError(QAbstractSocket::SocketError socketError);
    void connected();

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

protected:
    LinkTransport(const LinkSpec& lineSpec, QObject* parent);
    virtual void openDevice() = 0;
    virtual void closeDevice() = 0;
    virtual bool send(const QByteArray& frame) = 0;
    virtual QString errorText() const { return {}; }
    // The port's name as the status shows it.
    virtual QString portLabel() const { return {}; }
    void feed(const QByteArray& bytes);
    void setOffline();
    LinkStatus status(LinkStatus::Kind kind, const QString& systemText = QString()) const;

    LinkSpec m_spec;

private:
    ReplyAssembler* m_assembler;
};
