// The timeline: its store (round trip, pruning in steps, unusable files) and
// the recorder that turns decoded statuses into events and minute readings.
// The file rules it shares with the history are tst_historystore's.
#include "protocol/energizer.h"
#include "protocol/energizerfields.h"
#include "protocol/frames.h"
#include "services/timelinerecorder.h"
#include "services/timelinestore.h"
#include "services/webpage.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr qint64 Day = 86400000;
const QString North = QStringLiteral("north");

TimelineEvent makeEvent(qint64 timeMs, int address, TimelineKind kind, const QString& detail = {})
{
    return {0, timeMs, North, address, kind, detail, {}, 0};
}

TimelineReading reading(int address, qint64 minute, double volts)
{
    TimelineReading r{North, address, minute, {}, {}, {}};
    r.min.fill(volts - 100);
    r.mean.fill(volts + 0.044); // kept to a volt, the battery to a hundredth
    r.max.fill(volts + 100);
    return r;
}

QStringList kinds(const QVector<TimelineEvent>& events)
{
    QStringList names;
    for (const TimelineEvent& e : events)
        names << QStringLiteral("%1 %2 %3 %4").arg(e.address).arg(timelineKindName(e.kind), e.detail, e.who).trimmed();
    return names;
}

} // namespace

class TestTimeline : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString file(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void roundTripAndPruneInSteps()
    {
        TimelineStore store(file("round.sqlite"));
        QVERIFY2(store.isAvailable(), qPrintable(store.problem()));
        const qint64 now = 1800000000000;
        QVector<TimelineEvent> events{makeEvent(now - 500 * Day, 1, TimelineKind::Online)};
        QVector<TimelineReading> readings;
        for (int i = 0; i < 300; ++i) {
            events << makeEvent(now - 450 * Day + i, 2, TimelineKind::AlarmRaised, QStringLiteral("gate"));
            readings << reading(1 + i % 2, (now - 100 * Day) / 60000 + i, 8000);
        }
        TimelineEvent written = makeEvent(now, 1, TimelineKind::ConfigWritten);
        written.who = QStringLiteral("web:anna");
        written.historyId = 17;
        events << written;
        readings << reading(1, now / 60000, 8375);
        QCOMPARE(store.write(events, readings), QString());

        TimelineFilter one;
        one.addresses = {1};
        const QVector<TimelineEvent> back = store.events(one).value;
        QCOMPARE(kinds(back), (QStringList{"1 online", "1 config_written  web:anna"}));
        QCOMPARE(back.last().timeMs, now);
        QCOMPARE(back.last().historyId, 17);
        one.sinceMs = now - 60000;
        const QVector<TimelineReading> trend = store.readings(one).value;
        QCOMPARE(trend.size(), 1);
        QCOMPARE(trend[0].mean[0], 8375.0);
        QCOMPARE(trend[0].mean[4], 8375.04);
        QCOMPARE(trend[0].max[0], 8475.0);
        // Whole hours come from the hour table: the minutes' extremes and mean.
        TimelineFilter hourly;
        hourly.addresses = {2};
        hourly.untilMs = now - 99 * Day;
        hourly.bucketMinutes = 120;
        const QVector<TimelineReading> hours = store.readings(hourly).value;
        QVERIFY(hours.size() >= 2 && hours.size() <= 3);
        QCOMPARE(hours[1].minute % 120, 0);
        QCOMPARE(hours[1].min[1], 7900.0);
        QCOMPARE(hours[1].mean[4], 8000.04);
        QCOMPARE(hours[1].max[2], 8100.0);

        // A minute written again (a restart within it) counts once in its hour.
        QCOMPARE(store.write({}, {reading(1, now / 60000, 9000)}), QString());
        one.bucketMinutes = 60;
        QCOMPARE(store.readings(one).value.value(0).mean[0], 8375.0);

        // Small steps until nothing old is left; the newest stay.
        int steps = 0;
        for (bool finished = false; !finished && steps < 100; ++steps) {
            const StoreResult<TimelinePruned> step = store.prune(now - 400 * Day, now - 90 * Day, 50);
            QVERIFY2(step.ok(), qPrintable(step.error));
            QVERIFY(step.value.rows <= 50);
            finished = step.value.finished;
        }
        QVERIFY2(steps >= 12 && steps < 100, qPrintable(QString::number(steps)));
        QCOMPARE(kinds(store.events({}).value), QStringList{"1 config_written  web:anna"});
        QCOMPARE(store.readings({}).value.size(), 1);
    }

    // Written rows reach the file itself without the writer checkpointing:
    // the thread copies the log back while the log is still short.
    void logCopiedBackBesideTheWriter()
    {
        TimelineStore store(file("copied.sqlite"));
        QVector<TimelineReading> readings;
        for (int i = 0; i < 200; ++i)
            readings << reading(1, 29'000'000 + i, 8000);
        const qint64 before = QFileInfo(store.path()).size();
        QCOMPARE(store.write({}, readings), QString());
        QVERIFY(QFileInfo(store.path() + QStringLiteral("-wal")).size() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(store.path()).size() > before, 3 * TimelineStore::CheckpointMs);
    }

    void unusableFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        const QString link = file("link.sqlite");
        QVERIFY(QFile::link(file("target.sqlite"), link));
        QTest::newRow("symbolic link") << link << "timeline file " + link + " is a symbolic link";
        const QString newer = file("newer.sqlite");
        {
            TimelineStore made(newer);
        }
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(newer);
        QVERIFY(raw.open() && QSqlQuery(raw).exec(QStringLiteral("PRAGMA user_version = 9")));
        raw.close();
        QTest::newRow("newer schema") << newer << "schema version 9, newer than the 1";
    }

    // Refused with its reason, said once however often the recorder tries.
    void unusableFile()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        TimelineStore store(path);
        QVERIFY2(store.problem().contains(reason), qPrintable(store.problem()));
        QVERIFY(!QFile::exists(file("target.sqlite")));
        TimelineRecorder recorder(&store);
        QSignalSpy said(&recorder, &TimelineRecorder::unavailable);
        recorder.takeAvailability(North, 1, true, 1);
        recorder.flush();
        recorder.takeAvailability(North, 1, false, 2);
        recorder.flush();
        QCOMPARE(said.count(), 1);
        QCOMPARE(said.at(0).at(0).toString(), store.problem());
    }

    // A status sequence becomes events and one reading per minute; a zone
    // command, what it changed and who sent it.
    void recorderTurnsStatusesIntoEvents()
    {
        TimelineStore store(file("recorder.sqlite"));
        TimelineRecorder recorder(&store);
        Energizer e;
        e.reset();
        for (const StatusField& f : statusFields()) {
            if (f.kind == StatusKind::Alarm)
                e.*std::get<bool Energizer::*>(f.member) = true;
        }
        e.fenceOn1 = true;
        const qint64 minute = 29000000; // 60000 ms each
        const double volts[] = {8000, 9000, 7000, 5000};
        for (int i = 0; i < 4; ++i) {
            e.gateAlarmOk = i != 1;
            e.sirenOk = i < 3;
            e.outputVoltage1 = volts[i];
            if (i == 0)
                recorder.takeAvailability(North, 3, true, minute * 60000);
            recorder.takeStatus(North, 3, e, (minute + i / 3) * 60000 + i * 1000);
        }
        recorder.takeZoneCommand(North, zoneCommandFrame(3, false, true, true, true), &e, QStringLiteral("mqtt"), 0);
        recorder.takeAvailability(North, 3, false, (minute + 2) * 60000);
        recorder.stop();

        QCOMPARE(kinds(store.events({}).value),
                 (QStringList{"3 online", "3 alarm_raised gate", "3 alarm_cleared gate", "3 fault_raised sirenOk",
                              "3 offline", "3 zone_on 2 mqtt", "3 zone_high 2 mqtt"}));
        const QVector<TimelineReading> readings = store.readings({}).value;
        QCOMPARE(readings.size(), 2);
        QCOMPARE(readings[0].minute, minute);
        QCOMPARE(readings[0].min[0], 7000.0);
        QCOMPARE(readings[0].mean[0], 8000.0);
        QCOMPARE(readings[0].max[0], 9000.0);
        QCOMPARE(readings[1].mean[0], 5000.0);
    }

    // The web page's last hour: exact values, seconds without a reply left out,
    // the oldest forgotten after an hour.
    void liveRingKeepsTheLastHour()
    {
        LiveRing ring;
        const qint64 start = 1'700'000'000'000;
        for (int s = 0; s < LiveRing::Capacity + 10; ++s) {
            if (s == LiveRing::Capacity + 5)
                continue;
            ring.add(start + s * 1000 + 400, {8375.0 + (s % 2) * 125, 6000, 0, 250, 12.375});
        }
        const QJsonObject j = ring.json();
        const QJsonArray t = j.value(QStringLiteral("t")).toArray();
        const QJsonArray series = j.value(QStringLiteral("s")).toArray();
        QCOMPARE(t.size(), LiveRing::Capacity - 1);
        QCOMPARE(t.first().toDouble(), double(start / 1000 + 10));
        QCOMPARE(t.last().toDouble(), double(start / 1000 + LiveRing::Capacity + 9));
        QVERIFY(!t.contains(double(start / 1000 + LiveRing::Capacity + 5)));
        QCOMPARE(series.at(0).toArray().first().toDouble(), 8375.0);
        QCOMPARE(series.at(0).toArray().last().toDouble(), 8500.0);
        QCOMPARE(series.at(3).toArray().last().toDouble(), 250.0);
        QCOMPARE(series.at(4).toArray().last().toDouble(), 12.375);
    }

    void cleanupTestCase()
    {
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    }
};

QTEST_GUILESS_MAIN(TestTimeline)
#include "tst_timeline.moc"
