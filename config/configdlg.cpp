#include "config/configdlg.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "device/energizer.h"
#include "link/frames.h"

#include <QDomDocument>

// TODO: form, widgets, files (record part is real).
ConfigDlg::ConfigDlg(QWidget* parent)
    : QDialog(parent)
    , domDocument(new QDomDocument(QStringLiteral("Configuration")))
    , defaultBlock(defaultConfigBlock())
{
    setWindowTitle(tr("Configuration"));
    configBlock = defaultBlock;
}

ConfigDlg::~ConfigDlg()
{
    delete domDocument;
}

QVariant ConfigDlg::getParam(int index) const
{
    return ::getParam(configBlock, index);
}

void ConfigDlg::setParam(int index, const QVariant& value)
{
    ::setParam(configBlock, index, value);
}

void ConfigDlg::setConfig(const QByteArray& reply)
{
    if (reply.size() < ConfigBlockSize)
        return;
    for (int i = 0; i < ConfigBlockSize; ++i)
        configBlock[static_cast<std::size_t>(i)] = static_cast<quint8>(reply.at(i));
    configReceived = true;
    updateUi();
}

void ConfigDlg::updateUi() {}
void ConfigDlg::updateRecord() {}
void ConfigDlg::paramChanged() {}

void ConfigDlg::readEnerg()
{
    mainWindow->writeData(configReadRequestFrame(energizer->address));
}

void ConfigDlg::writeEnerg()
{
    updateRecord();
    mainWindow->writeData(configWriteFrame(energizer->address, configBlock));
}

void ConfigDlg::baInit()
{
    configBlock = defaultBlock;
    updateUi();
}

void ConfigDlg::loadFromFile() {}
void ConfigDlg::writeToFile() {}
void ConfigDlg::showAdvOptions() {}
