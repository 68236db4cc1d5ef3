#include "link/linktransport.h"

#include "protocol/frames.h"
#include "protocol/replyassembler.h"

#include "link/linklog.h"

#include <QDebug>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>

namespace {
constexpr qint32 MaxPass = 2047;
}

LinkTransport::LinkTransport(QObject* parent)
    : QObject(parent)
    , m_serialPort(new QSerialPort(this))
    , m_udpSocket(new QUdpSocket(this))
    , m_tcpSocket(new QTcpSocket(this))
    , m_assembler(new ReplyAssembler(this))
{
    m_tcpQuietTime.start();
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(ConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &LinkTransport::abortStalledConnect);

    connect(m_assembler, &ReplyAssembler::replyReady, this, &LinkTransport::dispatchReply);
    connect(m_assembler, &ReplyAssembler::unknownResponse, this, [this](quint8 code) {
        qCDebug(lcLink).noquote() << "Response" << QString::number(code, 16);
        emit unknownResponse(code);
    });

    connect(m_serialPort, &QSerialPort::readyRead, this, &LinkTransport::readData);
    connect(m_serialPort, &QSerialPort::errorOccurred, this, &LinkTransport::serialPortError);
    for (QAbstractSocket* socket : {static_cast<QAbstractSocket*>(m_udpSocket), static_cast<QAbstractSocket*>(m_tcpSocket)}) {
        connect(socket, &QAbstractSocket::connected, this, &LinkTransport::connected);
        connect(socket, &QAbstractSocket::readyRead, this, &LinkTransport::readData);
        connect(socket, &QAbstractSocket::errorOccurred, this, &LinkTransport::displayError);
        connect(socket, &QAbstractSocket::connected, this, &LinkTransport::usable);
        connect(socket, &QAbstractSocket::errorOccurred, this,
                [this, socket] { emit statusChanged(status(LinkStatus::Kind::SocketError, socket->errorString())); });
    }
    connect(m_tcpSocket, &QAbstractSocket::connected, this, [this] {
        m_connectTimer.stop();
        m_tcpQuietTime.restart();
    });
}

LinkTransport::~LinkTransport() = default;

void LinkTransport::setSettings(const Settings& settings)
{
    m_settings = settings;
}

QAbstractSocket* LinkTransport::socket() const
{
    if (m_settings.moduleRole() == ModuleRole::TcpServer)
        return m_tcpSocket;
    return m_udpSocket;
}

bool LinkTransport::isUsable() const
{
    if (m_settings.linkKind() == LinkKind::Serial)
        return m_serialPort->isOpen();
    return socket()->state() == QAbstractSocket::ConnectedState;
}

void LinkTransport::open()
{
    qCDebug(lcLink) << "Trying to connect...";
    m_assembler->clear();
    if (m_settings.linkKind() == LinkKind::Serial)
        openSerial();
    else
        openNetwork();
}

void LinkTransport::openSerial()
{
    // Only one link at a time: a socket left open would still deliver replies.
    m_udpSocket->close();
    m_tcpSocket->close();
    // A port that enumeration misses can still be named in the settings.
    if (m_settings.portName.isEmpty()) {
        qCDebug(lcLink) << "Not available serial ports";
        emit statusChanged(status(LinkStatus::Kind::NoSerialPort));
        return;
    }
    m_serialPort->setPortName(m_settings.portName);
    m_serialPort->setBaudRate(m_settings.baudRate, QSerialPort::AllDirections);
    m_serialPort->setDataBits(static_cast<QSerialPort::DataBits>(m_settings.dataBits));
    m_serialPort->setParity(static_cast<QSerialPort::Parity>(m_settings.parity));
    m_serialPort->setStopBits(static_cast<QSerialPort::StopBits>(m_settings.stopBits));
    m_serialPort->setFlowControl(static_cast<QSerialPort::FlowControl>(m_settings.flowControl));
    if (!m_serialPort->open(QIODevice::ReadWrite)) {
        emit statusChanged(status(LinkStatus::Kind::SerialOpenFailed, m_serialPort->errorString()));
        close();
        return;
    }
    emit serialOpened();
    qCDebug(lcLink) << "Connected";
    emit statusChanged(status(LinkStatus::Kind::SerialOpened));
    emit usable();
    emit opened();
}

void LinkTransport::openNetwork()
{
    if (m_serialPort->isOpen())
        m_serialPort->close();
    if (m_udpSocket->isOpen())
        m_udpSocket->close();
    if (m_tcpSocket->isOpen() || m_tcpSocket->state() != QAbstractSocket::UnconnectedState)
        m_tcpSocket->abort();
    m_connectTimer.stop();
    const auto port = static_cast<quint16>(m_settings.portNumber);
    switch (m_settings.moduleRole()) {
    case ModuleRole::UdpServer:
        m_udpSocket->connectToHost(m_settings.ipAddress, port);
        break;
    case ModuleRole::UdpClient:
        // The module sends to this PC's address and the same port; bound elsewhere it would never be heard.
        if (!m_udpSocket->bind(QHostAddress(m_settings.ownIpAddress), port) || m_udpSocket->localPort() != port)
            emit statusChanged(status(LinkStatus::Kind::BindFailed, m_udpSocket->errorString()));
        m_udpSocket->connectToHost(m_settings.ipAddress, port);
        break;
    case ModuleRole::TcpServer:
        m_tcpSocket->connectToHost(m_settings.ipAddress, port);
        // Frames are a few bytes each; Nagle would hold one back for the last one's ACK.
        m_tcpSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // Unanswered SYNs would keep the attempt pending for minutes.
        if (m_tcpSocket->state() != QAbstractSocket::ConnectedState)
            m_connectTimer.start();
        break;
    }
    emit statusChanged(status(LinkStatus::Kind::Connecting));
    emit opened();
}

void LinkTransport::close()
{
    m_connectTimer.stop();
    if (m_settings.linkKind() == LinkKind::Serial) {
        if (m_serialPort->isOpen())
            m_serialPort->close();
    } else if (socket()->isOpen()) {
        socket()->close();
    }
    setOffline();
}

void LinkTransport::setOffline()
{
    m_assembler->clear();
    emit closed();
}

bool LinkTransport::write(const QByteArray& frame)
{
    const bool sent = m_settings.linkKind() == LinkKind::Serial ? sendSerial(frame) : sendNetwork(frame);
    if (sent)
        emit frameSent(frame);
    return sent;
}

bool LinkTransport::sendSerial(const QByteArray& frame)
{
    if (!terminalReady()) {
        emit statusChanged(status(LinkStatus::Kind::TerminalNotReady));
        emit terminalNotReady();
        open();
        return false;
    }
    if (!m_serialPort->isOpen()) {
        open();
        return false;
    }
    return m_serialPort->write(frame) == frame.size();
}

bool LinkTransport::sendNetwork(const QByteArray& frame)
{
    QAbstractSocket* s = socket();
    if (s->error() == QAbstractSocket::NetworkError)
        return false;
    switch (s->state()) {
    case QAbstractSocket::ConnectedState:
        // A module that accepts connections but no longer answers on this one
        // (restarted behind a link that lost its reset): start afresh.
        if (s == m_tcpSocket && m_tcpQuietTime.elapsed() > DeadTcpMs) {
            qCDebug(lcLink) << "No reply on the TCP connection; reconnecting";
            open();
            return false;
        }
        if (s->write(frame) != frame.size())
            return false;
        // TCP buffers the write until the event loop comes round; send it now.
        if (s == m_tcpSocket)
            m_tcpSocket->flush();
        return true;
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        // open()'s own request lands here; reconnecting now would never end.
        return false;
    default:
        open();
        return false;
    }
}

void LinkTransport::abortStalledConnect()
{
    const auto state = m_tcpSocket->state();
    if (state != QAbstractSocket::HostLookupState && state != QAbstractSocket::ConnectingState)
        return;
    qCDebug(lcLink) << "Connect attempt timed out";
    // The next send starts a fresh attempt.
    m_tcpSocket->abort();
}

void LinkTransport::readData()
{
    if (m_settings.linkKind() == LinkKind::Serial) {
        emit statusChanged(status(LinkStatus::Kind::DataArrived));
        // A socket may still signal just after the settings switched to serial.
        if (m_serialPort->isOpen())
            m_assembler->feed(m_serialPort->readAll());
        return;
    }
    emit statusChanged(status(LinkStatus::Kind::DataArrived));
    if (m_settings.moduleRole() == ModuleRole::TcpServer) {
        readTcp();
        return;
    }
    // A port-unreachable from a module that went away signals readyRead with
    // no datagram. Only a plain read re-arms the socket's read notifier;
    // without it no reply would ever be seen again.
    if (!m_udpSocket->hasPendingDatagrams()) {
        char scrap[Frame::MaxReplyLength];
        const qint64 n = m_udpSocket->readDatagram(scrap, sizeof scrap);
        if (n > 0)
            m_assembler->feed(QByteArray(scrap, static_cast<int>(n)));
    }
    // Each datagram is a burst of its own.
    while (m_udpSocket->hasPendingDatagrams())
        m_assembler->feed(m_udpSocket->receiveDatagram().data());
}

void LinkTransport::readTcp()
{
    while (m_tcpSocket->bytesAvailable() > 0)
        m_assembler->feed(m_tcpSocket->read(MaxPass));
}

void LinkTransport::dispatchReply(const QByteArray& reply)
{
    if (reply.size() <= 2)
        return;
    emit replyTaken(reply);
    m_tcpQuietTime.restart();
    emit replyReady(reply);
}

void LinkTransport::displayError(QAbstractSocket::SocketError socketError)
{
    switch (socketError) {
    case QAbstractSocket::RemoteHostClosedError:
        break;
    case QAbstractSocket::HostNotFoundError:
        qCDebug(lcLink) << "The host was not found. Please check the host name and port settings.";
        break;
    case QAbstractSocket::ConnectionRefusedError:
        qCDebug(lcLink) << "The connection was refused by the peer. Check that the host name and port settings are correct.";
        break;
    default:
        qCDebug(lcLink).noquote() << QStringLiteral("The following error occurred: ") + socket()->errorString();
        break;
    }
}

void LinkTransport::connected()
{
    qCDebug(lcLink).nospace().noquote() << sender() << " CONNECTED";
}

void LinkTransport::serialPortError(QSerialPort::SerialPortError error)
{
    // A pulled adapter or a closed pseudo-terminal keeps raising these while
    // the port stays open; closing it hands reconnection to the poll cycle.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (!m_serialPort->isOpen())
        return;
    qCDebug(lcLink).noquote() << QStringLiteral("Serial port lost: ") + m_serialPort->errorString();
    emit statusChanged(status(LinkStatus::Kind::SerialLost, m_serialPort->errorString()));
    m_serialPort->close();
    m_serialPort->clearError();
    setOffline();
}

bool LinkTransport::terminalReady()
{
    // A closed port is not ready; asking it would only warn.
    if (!m_serialPort->isOpen())
        return false;
    if (m_serialPort->error() != QSerialPort::NoError)
        m_serialPort->clearError();
    if (m_serialPort->isDataTerminalReady())
        return true;
    // Pseudo-terminals and some virtual ports have no modem lines to report.
    if (m_serialPort->error() == QSerialPort::UnsupportedOperationError) {
        m_serialPort->clearError();
        return true;
    }
    return false;
}

LinkStatus LinkTransport::status(LinkStatus::Kind kind, const QString& systemText) const
{
    LinkStatus st;
    st.kind = kind;
    st.systemText = systemText;
    st.serial = isSerial();
    st.host = m_settings.ipAddress;
    st.port = m_settings.portNumber;
    st.portName = m_serialPort->portName();
    st.baudRate = m_serialPort->baudRate();
    st.dataBits = m_serialPort->dataBits();
    st.parity = m_serialPort->parity();
    st.stopBits = m_serialPort->stopBits();
    st.flowControl = m_serialPort->flowControl();
    return st;
}
