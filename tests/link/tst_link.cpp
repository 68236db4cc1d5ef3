// The link end to end against energizer-sim on loopback and on a pseudo-terminal:
// in the window, and alone against the simulator and in-process peers.
#include "simprocess.h"
#include "testsettings.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "link/energizerlink.h"
#include "protocol/energizer.h"
#include "services/configtransfer.h"
#include "widgets/settingsdlg.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <functional>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Frames to energizer address 1 as the simulator logs them.
const QString StatusRequest = QStringLiteral("01 01 01 E3");
const QString ConfigRead = QStringLiteral("01 01 02 01");
const QString ZoneCommand = QStringLiteral("01 01 05");
const QString RX = QStringLiteral("RX");

qint64 now() { return SimProcess::nowMs(); }

template <class T>
T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

QString statusText(MainWindow& window) { return child<QLabel>(&window, "statusLabel")->text(); }

// Opens the settings dialog from the menu, lets edit() change it and applies.
void applySettings(MainWindow& window, const std::function<void(SettingsDlg&)>& edit)
{
    auto* dialog = window.findChild<SettingsDlg*>();
    QVERIFY(dialog);
    QTimer::singleShot(0, dialog, [dialog, edit] {
        edit(*dialog);
        child<QPushButton>(dialog, "btnApply")->click();
    });
    child<QAction>(&window, "actSerialParams")->trigger();
}

// The system does not list a pseudo-terminal: its path is typed in.
void chooseSerial(MainWindow& window, const QString& path, int baudIndex = 1)
{
    applySettings(window, [&path, baudIndex](SettingsDlg& dialog) {
        child<QRadioButton>(&dialog, "rbSerial")->setChecked(true);
        child<QComboBox>(&dialog, "serialPortInfoListBox")->setEditText(path);
        child<QComboBox>(&dialog, "baudRateBox")->setCurrentIndex(baudIndex);
    });
}

// A listener, UDP and TCP, that must never hear from the link.
struct Decoy
{
    QUdpSocket udp;
    QTcpServer tcp;
    int heard = 0;
    Decoy(const QString& address, quint16 port)
    {
        udp.bind(QHostAddress(address), port);
        tcp.listen(QHostAddress(address), port);
        QObject::connect(&udp, &QUdpSocket::readyRead, [this] {
            while (udp.hasPendingDatagrams())
                heard += udp.receiveDatagram().isValid();
        });
        QObject::connect(&tcp, &QTcpServer::newConnection, [this] { ++heard; });
    }
};


const QString StatusReply = QStringLiteral("01 01 81");
const QString ConfigReply = QStringLiteral("01 01 82");

LinkSpec linkSettings(const QString& kind, const QString& port, const QString& host = QStringLiteral("127.0.0.1"))
{
    LinkSpec s;
    QString error;
    LinkSpec::parse(QStringLiteral("%1:%2:%3").arg(kind, host, port), &s, &error);
    return s;
}

// A listener whose accept queue is full: connection attempts get no answer.
struct DeafListener
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    QList<QTcpSocket*> fillers;
    quint16 port = 0;
    DeafListener()
    {
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof addr;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 0) != 0)
            return;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
        for (int i = 0; i < 2; ++i) {
            fillers << new QTcpSocket;
            fillers.last()->connectToHost(QHostAddress::LocalHost, port);
            fillers.last()->waitForConnected(1000);
        }
    }
    ~DeafListener() { close(); }
    void close()
    {
        qDeleteAll(fillers);
        fillers.clear();
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// A link under test, opened and polled by a timer as the window polls it.
struct PolledLink
{
    Energizer energizer;
    EnergizerLink link{energizer};
    QTimer poll;
    QSignalSpy opened{&link, &EnergizerLink::opened};
    QSignalSpy status{&link, &EnergizerLink::statusReceived};
    PolledLink(const LinkSpec& lineSpec, int periodMs)
    {
        link.setLink(lineSpec, 1);
        link.open();
        QObject::connect(&poll, &QTimer::timeout, &link, &EnergizerLink::pollStatus);
        poll.start(periodMs);
    }
};

QString simPort(SimProcess& sim, const QString& kind, const QStringList& more = {})
{
    return sim.start(QStringList{QStringLiteral("--verbose"), QLatin1String("--") + kind, QStringLiteral("0")} + more);
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void session_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("netMode");
        QTest::addColumn<QString>("firstFrame");
        QTest::newRow("udp server") << "udp" << 0 << ConfigRead;
        // The request made while still connecting is dropped; the first status reply brings the configuration read.
        QTest::newRow("tcp server") << "tcp" << 2 << StatusRequest;
        QTest::newRow("serial") << "pty" << 0 << ConfigRead;
    }

    void session()
    {
        QFETCH(QString, kind);
        QFETCH(int, netMode);
        QFETCH(QString, firstFrame);
        const bool serial = kind == QLatin1String("pty");
        QTemporaryDir dir;
        const QString endpoint = serial ? dir.filePath(QStringLiteral("energizer")) : QStringLiteral("0");
        const QStringList simArgs{QStringLiteral("--verbose"), QLatin1String("--") + kind, endpoint};
        SimProcess sim;
        QVERIFY(!sim.start(simArgs).isEmpty());
        // A serial link uses no port: any free one stands in the settings.
        Decoy otherHost(QStringLiteral("127.0.0.2"), serial ? 0 : sim.port());
        const quint16 port = otherHost.udp.localPort();
        Decoy defaultPort(QStringLiteral("127.0.0.1"), 6128);
        writeSettingsIni(QStringLiteral("127.0.0.1"), port, 1, netMode);

        MainWindow window;
        auto* btnConfig = child<QPushButton>(&window, "btnConfig");
        QVERIFY(!btnConfig->isEnabled());
        QCOMPARE(statusText(window), QStringLiteral("Configuration is not loaded from energizer"));
        int portFailures = 0;
        if (serial) {
            connect(serialPort, &QSerialPort::errorOccurred, this, [&portFailures](QSerialPort::SerialPortError error) {
                // More than one is a busy loop on a port that should have been closed.
                portFailures += error == QSerialPort::ReadError || error == QSerialPort::ResourceError;
            });
            chooseSerial(window, QString());
            QCOMPARE(statusText(window), QStringLiteral("Not available serial ports"));
            chooseSerial(window, dir.filePath(QStringLiteral("missing")));
            QVERIFY(statusText(window).startsWith(QLatin1String("Connection failed. ")));
            QVERIFY(!serialPort->isOpen());
            // A port without modem lines is used all the same.
            chooseSerial(window, endpoint);
            QVERIFY(serialPort->isOpen());
        }
        const qint64 started = now();

        // The configuration is read, its PIN matches the default one, and no more reads follow.
        QTRY_VERIFY_WITH_TIMEOUT(btnConfig->isEnabled(), 2500);
        QCOMPARE(sim.frames(RX, firstFrame).value(0, -1), sim.frames(RX, QString()).value(0));
        if (firstFrame == ConfigRead)
            QVERIFY(sim.frames(RX, ConfigRead).first() - started < 900); // at opening, not after a status
        QTRY_VERIFY(energizer->online && energizer->batteryVoltage > 0); // a status reply decoded
        QCOMPARE(statusText(window), serial ? QStringLiteral("Connected to %1 : 19200, 8 bits, No parity, 1 stop, No Flow Control").arg(endpoint)
                                            : QStringLiteral("Connected to 127.0.0.1 : %1").arg(port));

        // Panel values follow the simulator: its state, an alarm set on its console, a zone click from the panel.
        QString state = sim.command(QStringLiteral("state"), QStringLiteral("STATE"));
        const auto stateBit = [&state](const char* key) {
            return state.section(QLatin1String(key) + QLatin1Char('='), 1).left(1) == QLatin1String("1");
        };
        QCOMPARE(energizer->fenceOn1, stateBit("on1"));
        QCOMPARE(child<QPushButton>(&window, "btnHV2")->isChecked(), stateBit("hv2"));
        QVERIFY(energizer->tamperOk);
        QVERIFY(!sim.command(QStringLiteral("set tamper 1"), QStringLiteral("OK")).isEmpty());
        auto* btnON1 = child<QPushButton>(&window, "btnON1");
        const bool wasOn = energizer->fenceOn1;
        btnON1->click();
        QTRY_COMPARE(sim.count(RX, ZoneCommand), 1);
        state = sim.command(QStringLiteral("state"), QStringLiteral("STATE"));
        QCOMPARE(stateBit("on1"), !wasOn);
        QTRY_VERIFY(energizer->fenceOn1 == !wasOn && !energizer->tamperOk);
        QCOMPARE(btnON1->isChecked(), !wasOn);

        // One status request a second throughout.
        const QList<qint64> polls = sim.frames(RX, StatusRequest);
        QVERIFY(polls.size() >= 2);
        const qint64 mean = (polls.last() - polls.first()) / (polls.size() - 1);
        QVERIFY2(mean > 800 && mean < 1300, qPrintable(QString::number(mean)));
        QCOMPARE(sim.count(RX, ConfigRead), 1);

        if (kind == QLatin1String("udp")) {
            // A PIN that does not match keeps the configuration reads coming.
            applySettings(window, [](SettingsDlg& dialog) {
                child<QLineEdit>(&dialog, "edtInstallerPIN")->setText(QStringLiteral("000000"));
            });
            QVERIFY(!btnConfig->isEnabled());
            const qint64 wrongPinAt = now();
            QTRY_VERIFY(sim.count(RX, ConfigRead, wrongPinAt) >= 3);
            QVERIFY(!btnConfig->isEnabled());

            // A new module address: the old one hears nothing more.
            Decoy moved(QStringLiteral("127.0.0.3"), port);
            applySettings(window, [](SettingsDlg& dialog) {
                child<QLineEdit>(&dialog, "edtIP")->setText(QStringLiteral("127.0.0.3"));
            });
            // A round trip through its console: the old module has logged all that reached it.
            QVERIFY(!sim.command(QStringLiteral("state"), QStringLiteral("STATE")).isEmpty());
            const int heardBefore = sim.count(RX, QString());
            QTRY_VERIFY(moved.heard >= 2);
            QCOMPARE(sim.count(RX, QString()), heardBefore);
        } else if (serial) {
            // The adapter goes away and comes back at the same path; the poll cycle reopens it.
            sim.stop();
            QTRY_VERIFY_WITH_TIMEOUT(!serialPort->isOpen(), 500);
            QVERIFY(!energizer->online);
            SimProcess again;
            QVERIFY(!again.start({QStringLiteral("--verbose"), QStringLiteral("--pty"), endpoint}).isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(again.count(RX, StatusRequest) >= 2 && energizer->online, 4500);
            QCOMPARE(portFailures, 1);
            // The text names what was applied.
            chooseSerial(window, endpoint, 0);
            QTRY_COMPARE_WITH_TIMEOUT(statusText(window),
                                      QStringLiteral("Connected to %1 : 9600, 8 bits, No parity, 1 stop, No Flow Control").arg(endpoint), 2500);
        }
        QCOMPARE(otherHost.heard, 0);
        QCOMPARE(defaultPort.heard, 0);
    }

    // The text form of a link, as the site file writes it: read, written back, named.
    void linkText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // written back, or a word of the refusal
        QTest::addColumn<QString>("name");

        QTest::newRow("serial") << "serial:/dev/ttyS1" << "serial:/dev/ttyS1@19200" << "ttyS1";
        QTest::newRow("serial with baud") << "serial:ttyUSB0@9600" << "serial:ttyUSB0@9600" << "ttyUSB0";
        QTest::newRow("udp") << "udp:127.0.0.1:6128" << "udp:127.0.0.1:6128" << "udp-127.0.0.1-6128";
        QTest::newRow("udp-client") << "udp-client:127.0.0.2:6128@127.0.0.1" << "udp-client:127.0.0.2:6128@127.0.0.1"
                                    << "udp-127.0.0.2-6128";
        QTest::newRow("tcp ipv6") << "tcp:[::1]:4001" << "tcp:[::1]:4001" << "tcp-::1-4001";
        QTest::newRow("no port") << "serial:" << "names no serial port" << "";
        QTest::newRow("baud too low") << "serial:/dev/ttyS0@49" << "50..4000000" << "";
        QTest::newRow("bind no address") << "udp-client:127.0.0.2:5000@gate" << "no IP address" << "";
    }

    void linkText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QFETCH(QString, name);
        LinkSpec lineSpec;
        QString error;
        const bool ok = LinkSpec::parse(text, &lineSpec, &error);
        if (name.isEmpty()) {
            QVERIFY2(!ok && error.contains(expected), qPrintable(error));
            return;
        }
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(lineSpec.text(), expected);
        QCOMPARE(lineSpec.name(), name);
    }

    void repliesThroughNoiseAndOutage_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("tcp") << "tcp";
        QTest::newRow("udp") << "udp";
    }

    void repliesThroughNoiseAndOutage()
    {
        QFETCH(QString, kind);
        SimProcess sim;
        const QString port = simPort(sim, kind, {QStringLiteral("--noise"), QStringLiteral("3")});
        QVERIFY(!port.isEmpty());
        PolledLink l(linkSettings(kind, port), 100);
        QSignalSpy config(&l.link, &EnergizerLink::configReceived);
        connect(&l.link, &EnergizerLink::statusReceived, this, [&l, &config] {
            if (config.isEmpty())
                l.link.requestConfig();
        });
        // On TCP for longer than a silent connection is given: an answered one is kept.
        const int replies = kind == QLatin1String("tcp") ? 60 : 20;
        QTRY_VERIFY_WITH_TIMEOUT(l.status.size() >= replies && !config.isEmpty(), 20000);
        l.poll.stop();
        // Every reply the simulator sent came through, the configuration too.
        QTRY_COMPARE_WITH_TIMEOUT(l.status.size(), sim.count(QStringLiteral("TX"), StatusReply), 1000);
        QCOMPARE(config.size(), sim.count(QStringLiteral("TX"), ConfigReply));
        QCOMPARE(l.opened.size(), 1);
        QVERIFY(l.energizer.online && l.energizer.batteryVoltage > 13);

        // Stopped and started again at the same port: replies are taken again.
        l.poll.start(200);
        sim.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!l.energizer.online, 5000); // requests meet a closed port meanwhile
        l.status.clear();
        QVERIFY(!sim.start({QLatin1String("--") + kind, port}).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!l.status.isEmpty(), 3000);
    }

    void staleStatusReset()
    {
        // Two status replies, then none: the object is reset at the first send
        // more than 3000 ms after the last one, and polling goes on.
        SimProcess sim;
        const QString port = simPort(sim, QStringLiteral("udp"), {QStringLiteral("--silent-after"), QStringLiteral("2")});
        QVERIFY(!port.isEmpty());
        PolledLink l(linkSettings(QStringLiteral("udp"), port), 100);
        qint64 offlineAt = -1;
        connect(&l.link, &EnergizerLink::wentOffline, this, [&offlineAt] { offlineAt = SimProcess::nowMs(); });
        QTRY_VERIFY_WITH_TIMEOUT(offlineAt > 0, 6000);
        const qint64 lastReply = sim.frames(QStringLiteral("TX"), StatusReply).last();
        QVERIFY2(offlineAt - lastReply > 3000 && offlineAt - lastReply < 3600, qPrintable(QString::number(offlineAt - lastReply)));
        QCOMPARE(l.energizer.batteryVoltage, 0.0);
        QCOMPARE(l.energizer.fenceCondition1, QStringLiteral("Bad"));
        const int polls = sim.count(QStringLiteral("RX"), StatusRequest);
        QTRY_VERIFY(sim.count(QStringLiteral("RX"), StatusRequest) > polls);
    }

    void udpClientRole()
    {
        // The module sends from its port to the same port on this PC's own address;
        // the link binds there and takes replies from the module only.
        QUdpSocket module;
        QVERIFY(module.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        PolledLink l(linkSettings(QStringLiteral("udp-client"), QStringLiteral("%1@127.0.0.1").arg(module.localPort()), QStringLiteral("127.0.0.2")), 60000);
        QVERIFY(l.link.pollStatus());
        QTRY_VERIFY(module.hasPendingDatagrams());
        const QNetworkDatagram request = module.receiveDatagram();
        QCOMPARE(request.data().toHex(' ').toUpper(), StatusRequest.toLatin1());
        QCOMPARE(request.senderAddress(), QHostAddress(QStringLiteral("127.0.0.1")));
        QCOMPARE(request.senderPort(), int(module.localPort()));

        // Zone 1 on in low voltage, 13.625 V battery; unsealed, as some modules pass it.
        QByteArray reply = QByteArray::fromHex("010181 000000000000 6D 000000 81") + QByteArray(13, '\0');
        const auto answer = [&](QUdpSocket& from, char battery) {
            reply[9] = battery;
            from.writeDatagram(reply, request.senderAddress(), request.senderPort());
        };
        answer(module, 0x6D);
        QTRY_COMPARE(l.status.size(), 1);
        QCOMPARE(l.energizer.batteryVoltage, 13.625);
        QVERIFY(l.energizer.fenceOn1 && !l.energizer.fenceHv1);
        // A stranger's reply in between is not taken: the second decoded is the module's.
        QVERIFY(l.link.pollStatus());
        QTRY_VERIFY(module.hasPendingDatagrams());
        module.receiveDatagram();
        QUdpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
        answer(stranger, 0x10);
        answer(module, 0x64);
        QTRY_COMPARE(l.status.size(), 2);
        QCOMPARE(l.energizer.batteryVoltage, 12.5);
    }

    void deafModuleReplaced()
    {
        // A module that leaves connection attempts unanswered for 20 s, then answers.
        DeafListener deaf;
        QVERIFY(deaf.port);
        PolledLink l(linkSettings(QStringLiteral("tcp"), QString::number(deaf.port)), 1000);
        QTest::qWait(20000); // the outage itself is what is tested
        deaf.close();
        SimProcess sim;
        QVERIFY(!sim.start({QStringLiteral("--verbose"), QStringLiteral("--tcp"), QString::number(deaf.port)}).isEmpty());
        const qint64 answering = SimProcess::nowMs();
        QTRY_VERIFY_WITH_TIMEOUT(sim.count(QStringLiteral("RX"), StatusRequest) > 0, 4000);
        const qint64 polled = sim.frames(QStringLiteral("RX"), StatusRequest).first();
        QVERIFY2(polled - answering <= 2000, qPrintable(QString::number(polled - answering)));
    }

    void silentConnectionRenewed()
    {
        // Accepts connections, never answers on them.
        QTcpServer module;
        QVERIFY(module.listen(QHostAddress::LocalHost));
        QList<qint64> connectedAt;
        connect(&module, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket* s = module.nextPendingConnection()) {
                connectedAt << SimProcess::nowMs();
                connect(s, &QTcpSocket::readyRead, s, [s] { s->readAll(); });
            }
        });
        PolledLink l(linkSettings(QStringLiteral("tcp"), QString::number(module.serverPort())), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(connectedAt.size(), 2, 9000);
        QVERIFY2(connectedAt[1] - connectedAt[0] <= 7000, qPrintable(QString::number(connectedAt[1] - connectedAt[0])));
    }

    void configWrite_data()
    {
        QTest::addColumn<QStringList>("simArgs"); // empty: nothing listens
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message");
        using O = ConfigTransfer::Outcome;
        QTest::newRow("stored") << QStringList{"--udp", "0"} << "udp" << int(O::Done)
                                << "Configuration written and verified";
        QTest::newRow("not stored") << QStringList{"--udp", "0", "--ignore-writes"} << "udp" << int(O::Differs)
                                    << "Configuration write not confirmed: the energizer holds other values for Network/BigNetworkAddress";
        QTest::newRow("no answer") << QStringList{"--udp", "0", "--silent-after", "1"} << "udp" << int(O::NoAnswer)
                                   << "Configuration write not confirmed: no answer from the energizer within 2 s";
        QTest::newRow("PIN not digits") << QStringList{"--udp", "0"} << "udp" << int(O::Refused)
                                        << "Configuration not written: Options/MasterPIN is not all decimal digits";
        QTest::newRow("link down") << QStringList{} << "tcp" << int(O::NotSent)
                                   << "Configuration not written: the link to the energizer is not connected";
    }

    void configWrite()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(QString, kind);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        SimProcess sim;
        QString port = QStringLiteral("1");
        if (!simArgs.isEmpty()) {
            port = sim.start(simArgs);
            QVERIFY(!port.isEmpty());
        }
        Energizer energizer;
        EnergizerLink link(energizer);
        link.setLink(linkSettings(kind, port), 1);
        link.open();
        ConfigTransfer transfer(link.station());
        QSignalSpy read(&transfer, &ConfigTransfer::readFinished);
        ConfigBlock block = defaultConfigBlock();
        if (!simArgs.isEmpty()) {
            transfer.read();
            QTRY_COMPARE_WITH_TIMEOUT(read.size(), 1, 3000);
            QCOMPARE(read[0][0].value<ConfigTransfer::Outcome>(), ConfigTransfer::Outcome::Done);
            const QByteArray reply = read[0][1].toByteArray();
            // Bytes 3..50 only: the header stays as in a block loaded from a file.
            std::copy(reply.begin() + 3, reply.begin() + 51, block.begin() + 3);
        }
        setParam(block, 71, getParam(block, 71).toInt() == 33 ? 34 : 33); // in byte 50, the last one compared
        if (outcome == int(ConfigTransfer::Outcome::Refused))
            block[11] = 0xF1; // master PIN "15.." : the energizer would show no PIN the installer can type
        QSignalSpy written(&transfer, &ConfigTransfer::writeFinished);
        transfer.write(block);
        QTRY_COMPARE_WITH_TIMEOUT(written.size(), 1, 4000);
        const auto got = written[0][0].value<ConfigTransfer::Outcome>();
        QCOMPARE(int(got), outcome);
        QCOMPARE(ConfigTransfer::writeText(got, written[0][1].toStringList()), message);
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
