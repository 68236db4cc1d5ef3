// The transport of each link kind, and the factory that picks one.
#include "link/linktransport.h"

#include "link/linklog.h"
#include "protocol/frames.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

namespace {

constexpr qint32 MaxPass = 2047;

class SerialTransport : public LinkTransport
{
public:
    SerialTransport(const LinkSpec& lineSpec, QObject* parent);
    void readData() override;
    bool isUsable() const override;
    int wireMs(int bytes) const override;
    QSerialPort* serialDevice() const override { return m_port; }

private:
    void openDevice() override;
    void closeDevice() override;
    bool send(const QByteArray& frame) override;
    QString portLabel() const override { return m_label; }
    void portError(QSerialPort::SerialPortError error);
    bool terminalReady();

    QSerialPort* m_port;
    QString m_label;
};

// What UDP and TCP share: the socket's signals, closing, the send that reconnects.
class SocketTransport : public LinkTransport
{
public:
    bool isUsable() const override;

protected:
    SocketTransport(const LinkSpec& lineSpec, QAbstractSocket* socket, QObject* parent);
    void closeDevice() override;
    bool send(const QByteArray& frame) override;
    QString errorText() const override;

    QAbstractSocket* m_socket;
};

// The module as UDP server (Udp), or as client that sends to this machine's bound address (UdpClient).
class UdpTransport : public SocketTransport
{
public:
    UdpTransport(const LinkSpec& lineSpec, QObject* parent);
    void readData() override;

private:
    void openDevice() override;

    QUdpSocket* m_udp;
};

class TcpTransport : public SocketTransport
{
public:
    static constexpr int ConnectTimeoutMs = 2000; // a connect attempt not done by then is aborted
    static constexpr int DeadTcpMs = 5000;        // an open connection this long without a reply is renewed

    TcpTransport(const LinkSpec& lineSpec, QObject* parent);
    void readData() override;

private:
    void openDevice() override;
    void closeDevice() override;
    bool send(const QByteArray& frame) override;
    void abortStalledConnect();

    QTcpSocket* m_tcp;
    QTimer m_connectTimer;
    QElapsedTimer m_quietTime; // since the connection came up or last gave a reply
};

} // namespace

LinkTransport* LinkTransport::create(const LinkSpec& lineSpec, QObject* parent)
{
    switch (lineSpec.kind) {
    case LinkSpec::Kind::Serial: return new SerialTransport(lineSpec, parent);
    case LinkSpec::Kind::Udp:
    case LinkSpec::Kind::UdpClient: return new UdpTransport(lineSpec, parent);
    case LinkSpec::Kind::Tcp: return new TcpTransport(lineSpec, parent);
    }
    return nullptr;
}

SerialTransport::SerialTransport(const LinkSpec& lineSpec, QObject* parent)
    : LinkTransport(lineSpec, parent)
    , m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialTransport::readData);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialTransport::portError);
}

bool SerialTransport::isUsable() const
{
    return m_port->isOpen();
}

int SerialTransport::wireMs(int bytes) const
{
    // 10 bits a byte: start, 8 data, stop.
    const int baud = qMax(300, m_spec.baudRate);
    return (bytes * 10 * 1000 + baud - 1) / baud;
}

void SerialTransport::openDevice()
{
    // A port that enumeration misses can still be named.
    if (m_spec.portName.isEmpty()) {
        qCDebug(lcLink) << "Not available serial ports";
        emit statusChanged(status(LinkStatus::Kind::NoSerialPort));
        return;
    }
    // Shown as named; opened, and so locked, as the device it resolves to,
    // so that a second name for the same line finds it taken.
    m_port->setPortName(m_spec.portName);
    m_label = m_port->portName();
    m_port->setPortName(m_spec.devicePath());
    m_port->setBaudRate(m_spec.baudRate, QSerialPort::AllDirections);
    m_port->setDataBits(static_cast<QSerialPort::DataBits>(m_spec.dataBits));
    m_port->setParity(static_cast<QSerialPort::Parity>(m_spec.parity));
    m_port->setStopBits(static_cast<QSerialPort::StopBits>(m_spec.stopBits));
    m_port->setFlowControl(static_cast<QSerialPort::FlowControl>(m_spec.flowControl));
    if (!m_port->open(QIODevice::ReadWrite)) {
        emit statusChanged(status(LinkStatus::Kind::SerialOpenFailed, m_port->errorString()));
        close();
        return;
    }
    emit serialOpened();
    qCDebug(lcLink) << "Connected";
    emit statusChanged(status(LinkStatus::Kind::SerialOpened));
    emit usable();
    emit opened();
}

void SerialTransport::closeDevice()
{
    if (m_port->isOpen())
        m_port->close();
}

bool SerialTransport::send(const QByteArray& frame)
{
    if (!terminalReady()) {
        emit statusChanged(status(LinkStatus::Kind::TerminalNotReady));
        emit terminalNotReady();
        open();
        return false;
    }
    if (m_port->write(frame) != frame.size())
        return false;
    // The port buffers the write until the event loop comes round; send it now.
    m_port->flush();
    return true;
}

void SerialTransport::readData()
{
    emit statusChanged(status(LinkStatus::Kind::DataArrived));
    if (m_port->isOpen())
        feed(m_port->readAll());
}

void SerialTransport::portError(QSerialPort::SerialPortError error)
{
    // A pulled adapter or a closed pseudo-terminal keeps raising these while
    // the port stays open; closing it hands reconnection to the poll cycle.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (!m_port->isOpen())
        return;
    qCDebug(lcLink).noquote() << QStringLiteral("Serial port lost: ") + m_port->errorString();
    emit statusChanged(status(LinkStatus::Kind::SerialLost, m_port->errorString()));
    m_port->close();
    m_port->clearError();
    setOffline();
}

bool SerialTransport::terminalReady()
{
    // A closed port is not ready; asking it would only warn.
    if (!m_port->isOpen())
        return false;
    if (m_port->error() != QSerialPort::NoError)
        m_port->clearError();
    if (m_port->isDataTerminalReady())
        return true;
    // Pseudo-terminals and some virtual ports have no modem lines to report.
    if (m_port->error() == QSerialPort::UnsupportedOperationError) {
        m_port->clearError();
        return true;
    }
    return false;
}

SocketTransport::SocketTransport(const LinkSpec& lineSpec, QAbstractSocket* socket, QObject* parent)
    : LinkTransport(lineSpec, parent)
    , m_socket(socket)
{
    connect(m_socket, &QAbstractSocket::connected, this, &SocketTransport::connected);
    connect(m_socket, &QAbstractSocket::readyRead, this, &SocketTransport::readData);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &SocketTransport::displayError);
    connect(m_socket, &QAbstractSocket::connected, this, &SocketTransport::usable);
    connect(m_socket, &QAbstractSocket::errorOccurred, this,
            [this] { emit statusChanged(status(LinkStatus::Kind::SocketError, m_socket->errorString())); });
}

bool SocketTransport::isUsable() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

void SocketTransport::closeDevice()
{
    if (m_socket->isOpen())
        m_socket->close();
}

QString SocketTransport::errorText() const
{
    return m_socket->errorString();
}

bool SocketTransport::send(const QByteArray& frame)
{
    if (m_socket->error() == QAbstractSocket::NetworkError)
        return false;
    switch (m_socket->state()) {
    case QAbstractSocket::ConnectedState:
        return m_socket->write(frame) == frame.size();
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        // open()'s own request lands here; reconnecting now would never end.
        return false;
    default:
        open();
        return false;
    }
}

UdpTransport::UdpTransport(const LinkSpec& lineSpec, QObject* parent)
    : SocketTransport(lineSpec, new QUdpSocket, parent)
    , m_udp(static_cast<QUdpSocket*>(m_socket))
{
    m_udp->setParent(this);
}

void UdpTransport::openDevice()
{
    if (m_udp->isOpen())
        m_udp->close();
    // The client role: the module sends to this PC's address and the same
    // port; bound elsewhere it would never be heard.
    if (!m_spec.bindAddress.isEmpty()
        && (!m_udp->bind(QHostAddress(m_spec.bindAddress), m_spec.port) || m_udp->localPort() != m_spec.port))
        emit statusChanged(status(LinkStatus::Kind::BindFailed, m_udp->errorString()));
    m_udp->connectToHost(m_spec.host, m_spec.port);
    emit statusChanged(status(LinkStatus::Kind::Connecting));
    emit opened();
}

void UdpTransport::readData()
{
    emit statusChanged(status(LinkStatus::Kind::DataArrived));
    // A port-unreachable from a module that went away signals readyRead with
    // no datagram. Only a plain read re-arms the socket's read notifier;
    // without it no reply would ever be seen again.
    if (!m_udp->hasPendingDatagrams()) {
        char scrap[Frame::MaxReplyLength];
        const qint64 n = m_udp->readDatagram(scrap, sizeof scrap);
        if (n > 0)
            feed(QByteArray(scrap, static_cast<int>(n)));
    }
    // Each datagram is a burst of its own.
    while (m_udp->hasPendingDatagrams())
        feed(m_udp->receiveDatagram().data());
}

TcpTransport::TcpTransport(const LinkSpec& lineSpec, QObject* parent)
    : SocketTransport(lineSpec, new QTcpSocket, parent)
    , m_tcp(static_cast<QTcpSocket*>(m_socket))
{
    m_tcp->setParent(this);
    m_quietTime.start();
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(ConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &TcpTransport::abortStalledConnect);
    connect(m_tcp, &QAbstractSocket::connected, this, [this] {
        m_connectTimer.stop();
        m_quietTime.restart();
    });
    connect(this, &LinkTransport::replyReady, this, [this] { m_quietTime.restart(); });
}

void TcpTransport::openDevice()
{
    if (m_tcp->isOpen() || m_tcp->state() != QAbstractSocket::UnconnectedState)
        m_tcp->abort();
    m_connectTimer.stop();
    m_tcp->connectToHost(m_spec.host, m_spec.port);
    // Frames are a few bytes each; Nagle would hold one back for the last one's ACK.
    m_tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Unanswered SYNs would keep the attempt pending for minutes.
    if (m_tcp->state() != QAbstractSocket::ConnectedState)
        m_connectTimer.start();
    emit statusChanged(status(LinkStatus::Kind::Connecting));
    emit opened();
}

void TcpTransport::closeDevice()
{
    m_connectTimer.stop();
    SocketTransport::closeDevice();
}

bool TcpTransport::send(const QByteArray& frame)
{
    // A module that accepts connections but no longer answers on this one
    // (restarted behind a link that lost its reset): start afresh.
    if (m_tcp->state() == QAbstractSocket::ConnectedState && m_tcp->error() != QAbstractSocket::NetworkError
        && m_quietTime.elapsed() > DeadTcpMs) {
        qCDebug(lcLink) << "No reply on the TCP connection; reconnecting";
        open();
        return false;
    }
    if (!SocketTransport::send(frame))
        return false;
    // TCP buffers the write until the event loop comes round; send it now.
    m_tcp->flush();
    return true;
}

void TcpTransport::abortStalledConnect()
{
    const auto state = m_tcp->state();
    if (state != QAbstractSocket::HostLookupState && state != QAbstractSocket::ConnectingState)
        return;
    qCDebug(lcLink) << "Connect attempt timed out";
    // The next send starts a fresh attempt.
    m_tcp->abort();
}

void TcpTransport::readData()
{
    emit statusChanged(status(LinkStatus::Kind::DataArrived));
    while (m_tcp->bytesAvailable() > 0)
        feed(m_tcp->read(MaxPass));
}
