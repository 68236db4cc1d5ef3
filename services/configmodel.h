#pragma once

#include "protocol/configrecord.h"

#include <QObject>
#include <QVariant>

class QByteArray;

// The configuration block the window edits: what came from the energizer,
// a file or the defaults, with the edits made in the dialogs. The dialogs
// and the scope share one, so they all see the same parameters.
class ConfigModel : public QObject
{
    Q_OBJECT
public:
    explicit ConfigModel(QObject* parent = nullptr);

    const ConfigBlock& block() const { return m_block; }
    void setBlock(const ConfigBlock& block);
    // Stores a 52-byte configuration reply; a shorter one is ignored.
    // Returns whether it was stored.
    bool setReply(const QByteArray& reply);
    // Whether a block from the energizer has been stored since start.
    bool received() const { return m_received; }

    QVariant param(int index) const { return getParam(m_block, index); }
    void setParam(int index, const QVariant& value);

signals:
    void changed();

private:
    ConfigBlock m_block;
    bool m_received = false;
};
