// "Write to file" and "Load from file" of the configuration dialog.
#include "widgets/configdlg.h"

#include "services/configmodel.h"
#include "protocol/configxml.h"
#include "protocol/settingsfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

QString ConfigDlg::chooseSaveFileName(QWidget* parent)
{
    return QFileDialog::getSaveFileName(parent, tr("Save File"), fileDialogFolder(),
                                        tr("XML Files (*.xml)"), nullptr, QFileDialog::DontUseNativeDialog);
}

QString ConfigDlg::chooseOpenFileName(QWidget* parent)
{
    return QFileDialog::getOpenFileName(parent, tr("Select File"), fileDialogFolder(),
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
    buildConfigDocument(*domDocument, m_model.block());

    const QString chosen = askSaveFileName();
    if (chosen.isEmpty())
        return;
    fileName = chosen;
    if (!fileName.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        fileName += QLatin1String(".xml");

    // The previous file stays as it was until the new one is complete.
    QString error;
    if (!saveConfigFile(fileName, documentText(*domDocument), &error)) {
        QMessageBox::warning(this, tr("File writting error"), error);
        return;
    }
    showFileInTitle();
}

void ConfigDlg::loadFromFile()
{
    const QString chosen = askOpenFileName();
    if (chosen.isEmpty())
        return;
    // Anything but a configuration is refused before the dialog changes.
    QFile file(chosen);
    QDomDocument loaded;
    QString problem;
    if (!file.open(QIODevice::ReadOnly))
        problem = file.errorString();
    else if (!parseConfigFile(file.readAll(), loaded, &problem))
        problem = tr("This file is not an energizer configuration: %1.").arg(problem);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, tr("File loading error"),
                             tr("%1 was not loaded.").arg(QDir::toNativeSeparators(chosen)) + QLatin1Char('\n')
                                 + problem);
        return;
    }
    fileName = chosen;
    *domDocument = loaded;
    showFileInTitle();

    // Parameters the file leaves out keep the dialog's values: the PINs
    // above all, which a file without them must not lock out.
    const ParamValues values = documentParams(loaded);
    m_model.setBlock(applyParams(m_model.block(), values));
    showExchange(tr("%1 holds %2 of the %3 parameters; the others keep their values")
                     .arg(QFileInfo(chosen).fileName())
                     .arg(values.size())
                     .arg(ParamCount),
                 true);
}
