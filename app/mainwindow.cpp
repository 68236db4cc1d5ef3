#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/globals.h"
#include "config/configdlg.h"
#include "device/energizer.h"
#include "link/replyassembler.h"
#include "scope/scopedlg.h"
#include "settings/settingsdlg.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QTimer>
#include <QUrl>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    // The stone images sit in a static library; referencing its initialiser
    // keeps the linker from dropping them.
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);
    setWindowTitle(QCoreApplication::applicationName() + QStringLiteral(" v")
                   + QCoreApplication::applicationVersion());

    settingsDlg = new SettingsDlg(this);
    const auto settingsButtons = settingsDlg->findChildren<QPushButton*>();
    for (QPushButton* button : settingsButtons)
        button->setStyleSheet(buttonStyleSheet());

    mainWindow = this;

    pollTimer = new QTimer(this);
    pollTimer->start(1000);
    replyTime.start();

    serialPort = new QSerialPort(this);
    configDlg = new ConfigDlg(this);

    statusLabel = new QLabel(tr("Not connected"), this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setFixedWidth(500);
    statusLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusFiller = new QLabel(QString(), this);
    statusFiller->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ui->statusBar->addPermanentWidget(statusLabel, 0);
    ui->statusBar->addPermanentWidget(statusFiller, 1);

    ui->btnConfig->setEnabled(false);
    for (QPushButton* button : {ui->btnConfig, ui->btnScope, ui->btnHV1, ui->btnHV2, ui->btnON1, ui->btnON2})
        button->setStyleSheet(buttonStyleSheet());

    energizer = new Energizer(this);
    connect(energizer, &Energizer::paramChanged, this, &MainWindow::paramChanged);
    connect(energizer, &Energizer::paramChanged, configDlg, &ConfigDlg::paramChanged);
    emit energizer->paramChanged();

    replyAssembler = new ReplyAssembler(this);
    connect(replyAssembler, &ReplyAssembler::replyReady, this, &MainWindow::dispatchReply);
    connect(replyAssembler, &ReplyAssembler::unknownResponse, this, [](quint8 code) {
        qDebug().noquote() << "Response" << QString::number(code, 16);
    });

    connect(ui->actSerialParams, &QAction::triggered, this, &MainWindow::serialParams);
    for (QPushButton* button : {ui->btnHV1, ui->btnHV2, ui->btnON1, ui->btnON2})
        connect(button, &QPushButton::clicked, this, &MainWindow::energCommand);
    connect(ui->btnConfig, &QPushButton::clicked, this, &MainWindow::showConfig);
    connect(ui->btnScope, &QPushButton::clicked, this, &MainWindow::showScope);
    connect(ui->actOrvikConfigurator, &QAction::triggered, this, [] {
        // Without the manual beside us, stay silent rather than let the desktop complain.
        const QString manual = QCoreApplication::applicationDirPath() + QStringLiteral("/Orvik Configurator.pdf");
        if (QFileInfo::exists(manual))
            QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
    });
    connect(serialPort, &QSerialPort::readyRead, this, &MainWindow::readData);
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::timerTick);

    connect(&tcpSocket, &QTcpSocket::connected, this, &MainWindow::connected);
    connect(&tcpSocket, &QTcpSocket::readyRead, this, &MainWindow::readData);
    connect(&tcpSocket, &QAbstractSocket::errorOccurred, this, &MainWindow::displayError);
    connect(&udpSocket, &QUdpSocket::connected, this, &MainWindow::connected);
    connect(&udpSocket, &QUdpSocket::readyRead, this, &MainWindow::readData);
    connect(&udpSocket, &QAbstractSocket::errorOccurred, this, &MainWindow::displayError);

    energizerConnecting();
}

MainWindow::~MainWindow()
{
    pollTimer->stop();
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

void MainWindow::showConfig()
{
    configDlg->resize(888, 600);
    configDlg->exec();
}

void MainWindow::showScope()
{
    auto* scope = new ScopeDlg(this);
    scope->exec();
    delete scope;
}

void MainWindow::serialParams()
{
    if (settingsDlg->exec() != QDialog::Accepted)
        return;
    const Settings settings = settingsDlg->settings();
    energizer->reset();
    energizer->address = settings.energizerAddress;
    emit energizer->paramChanged();
    if (terminalReady()) {
        serialPort->close();
        energizer->online = false;
        emit energizer->paramChanged();
    }
    energizerConnecting();
}
