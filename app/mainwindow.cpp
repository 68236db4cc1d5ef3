#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/globals.h"
#include "app/linkstatustext.h"
#include "app/manualpath.h"
#include "widgets/choicebuttons.h"
#include "widgets/configdlg.h"
#include "services/configmodel.h"
#include "services/configpush.h"
#include "protocol/configrecord.h"
#include "widgets/historydlg.h"
#include "services/historykeeper.h"
#include "protocol/energizer.h"
#include "protocol/statusrecord.h"
#include "services/configtransfer.h"
#include "link/energizerlink.h"
#include "link/linkspec.h"
#include "link/station.h"
#include "protocol/frames.h"
#include "widgets/scopedlg.h"
#include "widgets/settingsdlg.h"
#include "widgets/trenddlg.h"
#include "protocol/settingsfile.h"

#include <QCoreApplication>
#include "services/timelinerecorder.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

MainWindow::MainWindow(HistoryStore* history, QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_config(new ConfigModel(this))
    , m_keeper(new HistoryKeeper(history, this))
{
    // The stone images sit in a static library; referencing its initialiser
    // keeps the linker from dropping them.
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);
    setWindowTitle(QCoreApplication::applicationName() + QStringLiteral(" v")
                   + QCoreApplication::applicationVersion());

    settingsDlg = new SettingsDlg(this);
    styleButtons(settingsDlg, buttonStyleSheet());

    mainWindow = this;

    pollTimer = new QTimer(this);
    pollTimer->start(1000);

    statusLabel = new QLabel(tr("Not connected"), this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setFixedWidth(500);
    statusLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusFiller = new QLabel(QString(), this);
    statusFiller->setObjectName(QStringLiteral("statusFiller"));
    statusFiller->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ui->statusBar->addPermanentWidget(statusLabel, 0);
    ui->statusBar->addPermanentWidget(statusFiller, 1);

    ui->btnConfig->setEnabled(false);
    ui->btnConfig->setToolTip(tr("No configuration has arrived from the energizer yet"));
    for (QPushButton* button : {ui->btnConfig, ui->btnScope, ui->btnHV1, ui->btnHV2, ui->btnON1, ui->btnON2})
        button->setStyleSheet(buttonStyleSheet());

    energizer = new Energizer(this);
    connect(energizer, &Energizer::paramChanged, this, &MainWindow::paramChanged);
    emit energizer->paramChanged();

    m_link = new EnergizerLink(*energizer, this);
    serialPort = m_link->serialDevice();
    m_transfer = new ConfigTransfer(m_link->station(), this);
    connect(m_link, &EnergizerLink::statusChanged, this, [this](const LinkStatus& status) {
        const QString text = linkStatusText(status);
        if (!text.isNull())
            statusLabel->setText(text);
    });
    m_push = new ConfigPush(*m_transfer, m_link->station(), *m_keeper, this);
    m_configDlg = new ConfigDlg(*m_config, m_link->station(), *m_transfer, m_push, buttonStyleSheet(), this);
    configDlg = m_configDlg;
    // Said once and left standing; the energizer is served all the same.
    connect(m_keeper, &HistoryKeeper::unavailable, this, [this](const QString& reason) {
        const QString text = tr("No configuration history is kept: %1").arg(reason);
        statusFiller->setText(text);
        statusFiller->setToolTip(text);
    });
    connect(m_link, &EnergizerLink::opened, this, [this] {
        m_configDlg->readEnerg();
        checkInstallerPin();
    });
    connect(m_link, &EnergizerLink::statusReceived, this, &MainWindow::statusReceived);
    connect(m_link, &EnergizerLink::configReceived, this, &MainWindow::configReceived);

    connect(ui->actSerialParams, &QAction::triggered, this, &MainWindow::serialParams);
    for (QPushButton* button : {ui->btnHV1, ui->btnHV2, ui->btnON1, ui->btnON2})
        connect(button, &QPushButton::clicked, this, &MainWindow::energCommand);
    connect(ui->btnConfig, &QPushButton::clicked, this, &MainWindow::showConfig);
    connect(ui->btnScope, &QPushButton::clicked, this, &MainWindow::showScope);
    connect(ui->actOrvikConfigurator, &QAction::triggered, this, &MainWindow::openManual);
    connect(ui->actHistory, &QAction::triggered, this, &MainWindow::showHistory);
    connect(ui->actTrend, &QAction::triggered, this, &MainWindow::showTrend);
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::timerTick);

    energizerConnecting();
}

MainWindow::~MainWindow()
{
    pollTimer->stop();
    // Closing is no off-line event.
    if (m_recorder)
        m_recorder->stop();
    closeConnection();
    delete ui;
}

QString MainWindow::buttonStyleSheet() const
{
    return QStringLiteral(
               "QPushButton {background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #2198c0, "
               "stop: 1 #0d5ca6);border-radius: 13px;color: rgb(255, 255, 255);border-color: rgb(28, 117, 188);"
               "border-style: solid;border-width:1px;border-radius:25px;max-width:300px;max-height:50px;"
               "min-width:130 px;min-height:20px;} ")
        + QStringLiteral("QPushButton:pressed {background-color: rgb(83, 120, 150);border-style: inset;} ")
        + QStringLiteral("QPushButton:checked {background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, "
                         "stop: 0 #2DCE52, stop: 1 #16EB48);border-style: inset;}")
        + QStringLiteral("QPushButton:disabled {background-color: rgb(83, 120, 150);border-style: inset;}");
}

void MainWindow::openManual()
{
    // Without the manual, stay silent rather than let the desktop complain.
    const QString manual = manualPath();
    if (QFileInfo::exists(manual))
        QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
}

void MainWindow::showConfig()
{
    m_configDlg->resize(888, 600);
    m_configDlg->exec();
}

void MainWindow::showHistory()
{
    if (m_historyDlg) {
        m_historyDlg->raise();
        m_historyDlg->activateWindow();
        return;
    }
    // What the recorder still holds belongs in the list too.
    if (m_recorder)
        m_recorder->flush();
    m_historyDlg = new HistoryDlg(*m_keeper, m_timeline, *m_transfer, *m_push, this);
    m_historyDlg->setAttribute(Qt::WA_DeleteOnClose);
    // Restoring is writing: the same PIN rule as the CONFIG button.
    m_historyDlg->setRestoreAllowed(ui->btnConfig->isEnabled(), ui->btnConfig->toolTip());
    m_historyDlg->show();
}

void MainWindow::showTrend()
{
    if (m_recorder)
        m_recorder->flush();
    auto* trend = new TrendDlg(m_timeline, m_link->link().name(), settingsDlg->settings().energizerAddress, *m_config, this);
    trend->setAttribute(Qt::WA_DeleteOnClose);
    trend->show();
}

void MainWindow::showScope()
{
    auto* scope = new ScopeDlg(*m_config, m_link->station(), buttonStyleSheet(), this);
    scope->exec();
    delete scope;
}

void MainWindow::serialParams()
{
    if (settingsDlg->exec() != QDialog::Accepted)
        return;
    applyRetention();
    energizer->reset();
    energizer->address = settingsDlg->settings().energizerAddress;
    emit energizer->paramChanged();
    // The old link goes whatever its kind; energizerConnecting opens the new one.
    closeConnection();
    energizerConnecting();
}

// The link itself lives in EnergizerLink; these are the window's faces of it.

void MainWindow::energizerConnecting()
{
    const Settings& settings = settingsDlg->settings();
    m_link->setLink(linkSpec(settings), settings.energizerAddress);
    m_keeper->setEnergizer(m_link->link().name(), settings.energizerAddress);
    watchTimeline();
    m_link->open();
}

void MainWindow::setTimeline(TimelineStore* timeline)
{
    m_timeline = timeline;
    m_recorder = new TimelineRecorder(timeline, this);
    m_recorder->watchHistory(*m_keeper, QStringLiteral("window"));
    applyRetention();
    connect(m_recorder, &TimelineRecorder::unavailable, this, [this](const QString& reason) {
        const QString text = tr("No timeline is kept: %1").arg(reason);
        statusFiller->setText(statusFiller->text().isEmpty() ? text : statusFiller->text() + QStringLiteral("; ") + text);
        statusFiller->setToolTip(statusFiller->text());
    });
    watchTimeline();
}

void MainWindow::applyRetention()
{
    if (m_recorder)
        m_recorder->setRetention(settingsDlg->settings().timelineEventDays, settingsDlg->settings().timelineReadingDays);
}

void MainWindow::watchTimeline()
{
    if (!m_recorder)
        return;
    const QString name = m_link->link().name();
    m_recorder->watch(m_link->station(), name);
    m_recorder->watchZoneCommands(m_link->bus(), name, QStringLiteral("window"));
}

void MainWindow::closeConnection()
{
    m_link->close();
}

void MainWindow::writeData(const QByteArray& data)
{
    m_link->send(data);
}

void MainWindow::timerTick()
{
    // Sent whatever the link state: a failed write is what reconnects.
    writeData(statusRequestFrame(energizer->address));
}

void MainWindow::energCommand()
{
    // Always the wished state of both zones, not just the clicked button.
    writeData(zoneCommandFrame(energizer->address, ui->btnHV1->isChecked(), ui->btnHV2->isChecked(),
                               ui->btnON1->isChecked(), ui->btnON2->isChecked()));
}

void MainWindow::decodeStatus(const QByteArray& reply)
{
    ::decodeStatus(*energizer, reply);
}

void MainWindow::statusReceived()
{
    // Until a block with the right PIN is in, every status brings another read.
    if (!ui->btnConfig->isEnabled())
        m_configDlg->readEnerg();
}

void MainWindow::configReceived(const QByteArray& reply)
{
    // A push keeps its own blocks, as backup and as written or restored.
    ConfigBlock block{};
    if (!m_push->busy() && blockFromReply(reply, &block))
        m_keeper->keep(HistoryKind::Read, block);
    m_config->setReply(reply);
    checkInstallerPin();
}

void MainWindow::checkInstallerPin()
{
    if (!m_config->received()) {
        qDebug() << "Configuration is not loaded from energizer";
        statusLabel->setText(tr("Configuration is not loaded from energizer"));
        ui->btnConfig->setToolTip(tr("No configuration has arrived from the energizer yet"));
        return;
    }
    // Whether they match, never the digits: the log is anyone's to read.
    const bool match = installerPinMatches(m_config->block(), settingsDlg->settings().installerPin);
    qDebug() << "Installer PIN" << (match ? "matches" : "differs");
    ui->btnConfig->setEnabled(match);
    ui->btnConfig->setToolTip(match ? QString()
                                    : tr("The energizer's installer PIN differs from the one set in Comms → "
                                         "Serial connection settings → Installer PIN"));
}
