#include "sim/requestparser.h"

#include "protocol/frames.h"

RequestParser::RequestParser(const QVector<int>& addresses)
{
    for (int a : addresses)
        if (a >= 0 && a < 256)
            served_[a] = true;
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
    if (junk_.isEmpty())
        junkReason_ = reason;
    junk_.append(buffer_.at(0));
    buffer_.remove(0, 1);
}

void RequestParser::reportJunk(QVector<Event>& events)
{
    if (junk_.isEmpty())
        return;
    events.append({false, junk_, junkReason_});
    junk_.clear();
}

QVector<RequestParser::Event> RequestParser::feed(const QByteArray& bytes)
{
    QVector<Event> events;
    buffer_.append(bytes);
    parse(events);
    // Skipped bytes are reported with the next frame or flush, in one piece;
    // a long run of noise is reported in parts so it is not held forever.
    if (junk_.size() >= 64)
        reportJunk(events);
    return events;
}

void RequestParser::parse(QVector<Event>& events)
{
    while (buffer_.size() >= 3) {
        const int length = requestLength(static_cast<quint8>(buffer_.at(2)));
        if (buffer_.at(1) != 0x01 || length == 0) {
            skipByte(QStringLiteral("not-a-frame"));
            continue;
        }
        if (buffer_.size() < length)
            break;
        const QByteArray frame = buffer_.left(length);
        if (!frameChecksumOk(frame)) {
            skipByte(QStringLiteral("bad-checksum"));
            continue;
        }
        reportJunk(events);
        buffer_.remove(0, length);
        if (served_[static_cast<quint8>(frame.at(0))])
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
    while (!buffer_.isEmpty()) {
        skipByte(QStringLiteral("incomplete"));
        parse(events);
    }
    reportJunk(events);
    return events;
}
