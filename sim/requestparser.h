#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// Cuts incoming bytes into request frames by their command code and checks
// checksum and address (one of the served ones). Keeps a partial frame until the rest arrives; bytes that
// cannot start a valid frame are skipped one at a time so the parser resyncs.
class RequestParser
{
public:
    struct Event
    {
        bool accepted;   // a checked frame for a served energizer
        QByteArray bytes;
        QString reason;  // why it was ignored
        bool frame = false; // a whole checked frame, for whichever address
    };

    explicit RequestParser(const QVector<int>& addresses);

    // Length of the request with this command code, 0 for an unknown code.
    static int requestLength(quint8 command);

    QVector<Event> feed(const QByteArray& bytes);
    // Gives up waiting for the rest of a partial frame: skips it, takes any whole
    // frames behind it, and reports the skipped bytes.
    QVector<Event> flush();

    bool hasPending() const { return !m_buffer.isEmpty() || !m_junk.isEmpty(); }

private:
    void parse(QVector<Event>& events);
    void skipByte(const QString& reason);
    void reportJunk(QVector<Event>& events);

    bool m_served[256] = {};
    QByteArray m_buffer;
    QByteArray m_junk;
    QString m_junkReason;
};
