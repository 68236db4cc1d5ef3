#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/globals.h"
#include "config/configdlg.h"
#include "settings/settingsdlg.h"

#include <QDebug>
#include <QLabel>

void MainWindow::checkInstallerPin()
{
    if (!configDlg->configReceived) {
        qDebug() << "Configuration is not loaded from energizer";
        statusLabel->setText(tr("Configuration is not loaded from energizer"));
        return;
    }
    const Settings settings = settingsDlg->settings();
    const QString energizerPin = configDlg->getParam(20).toString();
    qDebug().noquote() << QStringLiteral("InstEnergPIN %1 InstAppPIN %2").arg(energizerPin, settings.installerPin);
    ui->btnConfig->setEnabled(energizerPin == settings.installerPin);
}
