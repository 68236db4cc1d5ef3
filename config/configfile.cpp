// "Write to file" and "Load from file" of the configuration dialog.
#include "config/configdlg.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/configxml.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

QString ConfigDlg::chooseSaveFileName()
{
    return QFileDialog::getSaveFileName(mainWindow, tr("Save File"), QCoreApplication::applicationDirPath(),
                                        tr("XML Files (*.xml)"), nullptr, QFileDialog::DontUseNativeDialog);
}

QString ConfigDlg::chooseOpenFileName()
{
    return QFileDialog::getOpenFileName(mainWindow, tr("Select File"), QCoreApplication::applicationDirPath(),
                                        QStringLiteral("XML (*.xml)"), nullptr, QFileDialog::DontUseNativeDialog);
}

void ConfigDlg::showFileInTitle()
{
    setWindowTitle(QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
                   + QLatin1Char(' ') + fileName);
}

void ConfigDlg::writeToFile()
{
    updateRecord();
    buildConfigDocument(*domDocument, configBlock);

    const QString chosen = askSaveFileName();
    if (chosen.isEmpty())
        return;
    fileName = chosen;
    if (!fileName.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        fileName += QLatin1String(".xml");

    // The previous file stays as it was until the new one is complete.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(documentText(*domDocument)) < 0 || !file.commit()) {
        QMessageBox::warning(this, tr("File writting error"), file.errorString());
        return;
    }
    showFileInTitle();
}

void ConfigDlg::loadFromFile()
{
    fileName = askOpenFileName();
    if (fileName.isEmpty())
        return;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    domDocument->clear();
    if (!domDocument->setContent(&file))
        return;
    showFileInTitle();
    file.close();

    configBlock = defaultBlock;
    updateUi();
    readConfigDocument(*domDocument, configBlock);
    updateUi();
}
