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

namespace {

// Unbuffered, so a short write (disk full) fails here with its reason:
// QSaveFile::commit() does not notice when its own final flush falls short.
bool writeAll(QSaveFile& file, const QByteArray& data)
{
    for (qint64 done = 0; done < data.size();) {
        const qint64 n = file.write(data.constData() + done, data.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(file, documentText(*domDocument))
        || !file.commit()) {
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
