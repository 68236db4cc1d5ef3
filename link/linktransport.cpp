#include "link/linktransport.h"

#include "link/linklog.h"
#include "protocol/replyassembler.h"

#include <QDebug>

LinkTransport::LinkTransport(const LinkSpec& lineSpec, QObject* parent)
    : QObject(parent)
    , m_spec(lineSpec)
    , m_assembler(new ReplyAssembler(this))
{
    connect(m_assembler, &ReplyAssembler::replyReady, this, [this](const QByteArray& reply) {
        if (reply.size() <= 2)
            return;
        emit replyTaken(reply);
        emit replyReady(reply);
    });
    connect(m_assembler, &ReplyAssembler::unknownResponse, this, [this](quint8 code) {
        qCDebug(lcLink).noquote() << "Response" << QString::number(code, 16);
        emit unknownResponse(code);
    });
}

LinkTransport::~LinkTransport() = default;

void LinkTransport::open()
{
    qCDebug(lcLink) << "Trying to connect...";
    m_assembler->clear();
    openDevice();
}

void LinkTransport::close()
{
    closeDevice();
    setOffline();
}

void LinkTransport::setOffline()
{
    m_assembler->clear();
    emit closed();
}

bool LinkTransport::write(const QByteArray& frame)
{
    const bool sent = send(frame);
    if (sent)
        emit frameSent(frame);
    return sent;
}

int LinkTransport::wireMs(int) const
{
    return -1;
}

void LinkTransport::feed(const QByteArray& bytes)
{
    m_assembler->feed(bytes);
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
        qCDebug(lcLink).noquote() << QStringLiteral("The following error occurred: ") + errorText();
        break;
    }
}

void LinkTransport::connected()
{
    qCDebug(lcLink).nospace().noquote() << sender() << " CONNECTED";
}

LinkStatus LinkTransport::status(LinkStatus::Kind kind, const QString& systemText) const
{
    return {kind, systemText, m_spec, portLabel()};
}
