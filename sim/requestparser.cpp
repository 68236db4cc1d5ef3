#include "sim/requestparser.h"

#include "protocol/frames.h"

RequestParser::RequestParser(const QVector<int>& addresses)
{
    for (int a : addresses)
        if (a >= 0 && a < 256)
            m_served[a] = true;
}

int RequestParser::requestLength(quint8 command)
{
    switch (command) {
    case Frame::CmdStatus:
        return Frame::StatusRequestLength;
    case Frame::CmdConfigRead:
        return Frame::ConfigReadRequestLength;
    case Frame::CmdConfigWrite:
        return Frame::ConfigWriteLength;
    case Frame::CmdZone:
        return Frame::ZoneCommandLength;
    default:
        return 0;
    }
}

void RequestParser::skipByte(const QString& reason)
{
    if (m_junk.isEmpty())
        m_junkReason = reason;
    m_junk.append(m_buffer.at(0));
    m_buffer.remove(0, 1);
}

void RequestParser::reportJunk(QVector<Event>& events)
{
    if (m_junk.isEmpty())
        return;
    events.append({false, m_junk, m_junkReason});
    m_junk.clear();
}

QVector<RequestParser::Event> RequestParser::feed(const QByteArray& bytes)
{
    QVector<Event> events;
    m_buffer.append(bytes);
    parse(events);
    // Skipped bytes are reported with the next frame or flush, in one piece;
    // a long run of noise is reported in parts so it is not held forever.
    if (m_junk.size() >= 64)
        reportJunk(events);
    return events;
}

void RequestParser::parse(QVector<Event>& events)
{
    while (m_buffer.size() >= 3) {
        const int length = requestLength(static_cast<quint8>(m_buffer.at(2)));
        if (m_buffer.at(1) != 0x01 || length == 0) {
            skipByte(QStringLiteral("not-a-frame"));
            continue;
        }
        if (m_buffer.size() < length)
            break;
        const QByteArray frame = m_buffer.left(length);
        if (!frameChecksumOk(frame)) {
            skipByte(QStringLiteral("bad-checksum"));
            continue;
        }
        reportJunk(events);
        m_buffer.remove(0, length);
        if (m_served[static_cast<quint8>(frame.at(0))])
            events.append({true, frame, QString(), true});
        else
            events.append({false, frame, QStringLiteral("other-address"), true});
    }
}

QVector<RequestParser::Event> RequestParser::flush()
{
    // The frame that seemed to start at the front never completed; whole frames
    // may still follow it.
    QVector<Event> events;
    while (!m_buffer.isEmpty()) {
        skipByte(QStringLiteral("incomplete"));
        parse(events);
    }
    reportJunk(events);
    return events;
}
