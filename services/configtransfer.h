#pragma once

#include "protocol/configrecord.h"

#include <QByteArray>
#include <QObject>
#include <QQueue>
#include <QStringList>
#include <QTimer>

class Station;

// Reads the configuration block, or writes one and reads it back to confirm
// that the energizer holds what was sent (bytes 3..50). One exchange at a time.
class ConfigTransfer : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Done,     // read: the block arrived; write: read back equal
        NotSent,  // the link was down, nothing went out
        NoAnswer, // no configuration reply within AnswerTimeoutMs
        Differs,  // write: the read-back holds other values
        Refused,  // write: a PIN of the block is not all digits; nothing sent
    };
    Q_ENUM(Outcome)

    static constexpr int AnswerTimeoutMs = 2000;
    // Time the energizer gets to store a written block before it is read back.
    static constexpr int SettleMs = 300;

    explicit ConfigTransfer(Station& station, QObject* parent = nullptr);

    bool busy() const { return m_mode != Mode::Idle; }
    // How long a read or a read-back is waited for (AnswerTimeoutMs unless set).
    void setAnswerTimeoutMs(int ms) { m_answerMs = ms; }
    void read();
    void write(const ConfigBlock& block);

    // The installer's one-line account of a finished read or write;
    // differing names the parameters that differ, or for Refused the PINs.
    static QString readText(Outcome outcome);
    static QString writeText(Outcome outcome, const QStringList& differing);

signals:
    void readFinished(ConfigTransfer::Outcome outcome, const QByteArray& reply);
    void writeFinished(ConfigTransfer::Outcome outcome, const QStringList& differing);

private:
    enum class Mode { Idle, Reading, Settling, Verifying };
    bool requestConfig();
    void sendReadRequest();
    void takeReply(const QByteArray& reply);
    void timedOut();
    void requestTimedOut(quint8 command);
    void finish(Outcome outcome, const QByteArray& reply, const QStringList& differing = {});

    Station& m_station;
    Mode m_mode = Mode::Idle;
    bool m_writing = false;
    int m_answerMs = AnswerTimeoutMs;
    QQueue<qint64> m_readsSentAt; // config reads whose reply has not come, oldest first
    int m_staleReads = 0;         // of those, the ones sent before the write
    QByteArray m_lastBack;        // a differing read-back that may have been stale
    ConfigBlock m_sent{};
    QTimer m_timer;
};

// "Group/Name" of every parameter whose value differs between the blocks.
QStringList differingParams(const ConfigBlock& a, const ConfigBlock& b);
