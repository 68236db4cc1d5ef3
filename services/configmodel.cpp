#include "services/configmodel.h"

#include <QByteArray>

ConfigModel::ConfigModel(QObject* parent)
    : QObject(parent)
    , m_block(defaultConfigBlock())
{
}

void ConfigModel::setBlock(const ConfigBlock& block)
{
    m_block = block;
    emit changed();
}

bool ConfigModel::setReply(const QByteArray& reply)
{
    if (!blockFromReply(reply, &m_block))
        return false;
    m_received = true;
    emit changed();
    return true;
}

void ConfigModel::setParam(int index, const QVariant& value)
{
    ::setParam(m_block, index, value);
    emit changed();
}

#include "moc_configmodel.cpp"
