#include "link/replyassembler.h"

// TODO: reply framing (stub so the tree builds).
ReplyAssembler::ReplyAssembler(QObject* parent) : QObject(parent) { m_clock.start(); }
void ReplyAssembler::feed(const QByteArray& bytes) { feed(bytes, m_clock.elapsed()); }
void ReplyAssembler::feed(const QByteArray&, qint64) {}
void ReplyAssembler::clear() { m_buffer.clear(); }
