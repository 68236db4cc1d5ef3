// energizer-cli on a line with several energizers: scan, and status of a list.
#include "simprocess.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

struct Run { int status; QByteArray out, err; qint64 ms; };

class TestCliBus : public QObject
{
    Q_OBJECT
private slots:
    void scan_data();
    void scan();
    void statusOfList();

private:
    Run cli(const QStringList& args);
};

Run TestCliBus::cli(const QStringList& args)
{
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(qEnvironmentVariable("EC_CLI"), args);
    const bool ended = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
    return {ended ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError(), clock.elapsed()};
}

void TestCliBus::scan_data()
{
    QTest::addColumn<QString>("served");
    QTest::addColumn<QString>("found"); // the summary
    QTest::addColumn<int>("status");
    QTest::newRow("three of twenty") << "2,5,19" << "3 energizers answered: 2, 5, 19\n" << 0;
    QTest::newRow("none") << "40" << "no energizer answered at addresses 0..19\n" << 3;
}

void TestCliBus::scan()
{
    QFETCH(QString, served);
    QFETCH(QString, found);
    QFETCH(int, status);
    SimProcess sim;
    const QString port = sim.start({"--udp", "0", "--addresses", served});
    QVERIFY(!port.isEmpty());
    const Run r = cli({"--udp", "127.0.0.1:" + port, "scan", "--from", "0", "--to", "19"});
    QCOMPARE(r.status, status);
    const QList<QByteArray> lines = r.out.split('\n');
    QCOMPARE(lines.size() - 1, served.count(',') + (status == 0 ? 2 : 1));
    QVERIFY2(r.out.endsWith(found.toUtf8()), r.out.constData());
    if (status == 0)
        QVERIFY2(lines.first().startsWith("2: zone 1 off hv 0 V, zone 2 off hv 0 V, "), lines.first().constData());
    // One request at a time, each given the network timeout at most.
    QVERIFY2(r.ms < 20 * 300 + 1000, qPrintable(QString::number(r.ms)));
}

void TestCliBus::statusOfList()
{
    SimProcess sim;
    const QString port = sim.start({"--udp", "0", "--on", "--addresses", "1,3"});
    QVERIFY(!port.isEmpty());
    const Run r = cli({"--udp", "127.0.0.1:" + port, "--address", "1-3", "--timeout", "1000", "status", "--json"});
    QCOMPARE(r.status, 3); // 2 gave no reply
    QVERIFY2(r.err.contains("no reply from address 2"), r.err.constData());
    const QJsonArray all = QJsonDocument::fromJson(r.out).array();
    QCOMPARE(all.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject o = all.at(i).toObject();
        QCOMPARE(o.value("address").toInt(), i + 1);
        QCOMPARE(o.value("online").toBool(), i != 1);
    }
    // Each energizer's own values: the simulator's bands differ by address.
    QVERIFY(all.at(2).toObject().value("outputVoltage1").toDouble() > all.at(0).toObject().value("outputVoltage1").toDouble() + 2000);
}

QTEST_GUILESS_MAIN(TestCliBus)
#include "tst_clibus.moc"
