// Saves PNGs of the write preview, of the History dialog (the energizer's
// timeline) and of the Trend view, as a user sees them after one confirmed
// write and a day of the energizer's timeline, for the manual. Run through
// scripts/grab-history-screens, which gives it its own data folder.
#include "scripts/screensteps.h"
#include "app/mainwindow.h"
#include "app/translations.h"
#include "widgets/configdlg.h"
#include "widgets/historydlg.h"
#include "widgets/trenddlg.h"
#include "widgets/writepreviewdlg.h"
#include "services/historykeeper.h"
#include "services/historystore.h"
#include "services/timelinestore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <cmath>

namespace {

// The day before: readings of every minute, the north fence dropping for
// twenty minutes at night, a gate alarm, a silent minute, zone 2 switched.
void fillDay(TimelineStore& store, const QString& link, int address)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 first = now / 60000 - 24 * 60;
    QVector<TimelineReading> readings;
    for (qint64 minute = first; minute < now / 60000 - 2; ++minute) {
        const int m = static_cast<int>(minute - first);
        const bool dropped = m >= 600 && m < 620;
        const bool zone2Off = m >= 900 && m < 960;
        // Lower by day, when the grass grows into the wire; a little noise.
        const double wave = 300 * std::cos(2 * M_PI * m / 1440.0) + (m * 37 % 61);
        TimelineReading r;
        r.link = link;
        r.address = address;
        r.minute = minute;
        const double means[TimelineSeriesCount] = {dropped ? 2400 : 8400 + wave, dropped ? 1500 : 7600 + wave,
                                                   zone2Off ? 0 : 7200 - wave, zone2Off ? 0 : 6500 - wave,
                                                   12.4 + 0.3 * std::sin(2 * M_PI * m / 1440.0)};
        for (int s = 0; s < TimelineSeriesCount; ++s) {
            const double spread = s == 4 ? 0.1 : means[s] > 0 ? 250 : 0;
            r.min[s] = means[s] - spread;
            r.mean[s] = means[s];
            r.max[s] = means[s] + spread;
        }
        readings << r;
    }
    const auto event = [&](int minute, TimelineKind kind, const QString& detail, const QString& who = {}) {
        TimelineEvent e;
        e.timeMs = (first + minute) * 60000 + 17000;
        e.link = link;
        e.address = address;
        e.kind = kind;
        e.detail = detail;
        e.who = who;
        return e;
    };
    const QVector<TimelineEvent> events = {
        event(300, TimelineKind::AlarmRaised, QStringLiteral("gate")),
        event(302, TimelineKind::AlarmCleared, QStringLiteral("gate")),
        event(600, TimelineKind::AlarmRaised, QStringLiteral("zone1_vout")),
        event(620, TimelineKind::AlarmCleared, QStringLiteral("zone1_vout")),
        event(640, TimelineKind::FaultRaised, QStringLiteral("strobe1Ok")),
        event(660, TimelineKind::FaultCleared, QStringLiteral("strobe1Ok")),
        event(700, TimelineKind::Offline, {}),
        event(701, TimelineKind::Online, {}),
        event(900, TimelineKind::ZoneOff, QStringLiteral("2"), QStringLiteral("cli")),
        event(960, TimelineKind::ZoneOn, QStringLiteral("2"), QStringLiteral("window")),
    };
    const QString error = store.write(events, readings);
    if (!error.isEmpty())
        qWarning("timeline not filled: %s", qPrintable(error));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installTranslations(app);
    setApplicationIdentity();
    const QStringList args = app.arguments();
    const QDir out(args.value(1, QStringLiteral(".")));
    const int waitMs = args.value(2, QStringLiteral("4000")).toInt();

    HistoryStore history(HistoryStore::defaultPath());
    TimelineStore timeline(TimelineStore::defaultPath());
    MainWindow window(&history);
    window.setTimeline(&timeline);
    if (auto* keeper = window.findChild<HistoryKeeper*>())
        fillDay(timeline, keeper->link(), keeper->address());
    window.show();
    ConfigDlg* config = window.configDialog();
    bool ok = true;
    const auto save = [&ok, out](QWidget* w, const char* name) {
        const bool saved = w && w->grab().save(out.filePath(QString::fromLatin1(name)));
        qInfo("%s: %d x %d%s", name, w ? w->width() : 0, w ? w->height() : 0, saved ? "" : " (not saved)");
        ok = saved && ok;
    };
    const auto edit = [config](int delay, bool solar) {
        config->findChild<QSpinBox*>(QStringLiteral("spnGateAlarmDelay"))->setValue(delay);
        config->findChild<QCheckBox*>(QStringLiteral("chkSolar"))->setChecked(solar);
        config->findChild<QPushButton*>(QStringLiteral("btnWriteEnerg"))->click();
    };
    const auto preview = [config] { return config->findChild<WritePreviewDlg*>(); };
    HistoryDlg* historyDlg = nullptr;
    TrendDlg* trendDlg = nullptr;

    const Steps steps = {
        [&] { QMetaObject::invokeMethod(&window, "showConfig", Qt::QueuedConnection); },
        // A first write, so that the history holds more than the first read.
        [&] { edit(12, false); },
        [&] {
            if (preview())
                preview()->accept();
        },
        [] {},
        [&] { edit(25, true); },
        [&] {
            save(preview(), "write-preview.png");
            if (preview())
                preview()->accept();
        },
        [] {},
        [&] { config->close(); },
        [&] {
            window.findChild<QAction*>(QStringLiteral("actHistory"))->trigger();
            historyDlg = window.findChild<HistoryDlg*>();
            if (historyDlg) {
                historyDlg->resize(760, 560);
                // The backup before the last write, against the energizer now.
                const QVector<qint64> ids = historyDlg->shownIds();
                if (ids.size() > 1)
                    historyDlg->selectIds({ids.at(1)});
            }
        },
        [] {},
        [&] { save(historyDlg, "timeline.png"); },
        [&] { trendDlg = openTrend(window, historyDlg, TrendDlg::Range::Day); },
        [] {},
        [&] { save(trendDlg, "trend.png"); },
        [&] {
            if (trendDlg)
                trendDlg->close();
        },
        [&] { app.exit(ok ? 0 : 1); },
    };
    QTimer::singleShot(waitMs, [&steps] { runSteps(&steps, 700); });
    return app.exec();
}
