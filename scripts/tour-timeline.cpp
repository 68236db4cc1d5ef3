// The window of the timeline tour (scripts/tour-timeline): the configurator as
// a user starts it, taking two lines from the script on standard input.
// "zone 2" clicks zone 2's ON/OFF button as the user would; "shoot DIR" saves
// the window, its timeline and its trend of the last hour, then quits.
#include "scripts/screensteps.h"
#include "app/mainwindow.h"
#include "app/translations.h"
#include "services/historystore.h"
#include "services/timelinestore.h"
#include "widgets/historydlg.h"
#include "widgets/trenddlg.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installTranslations(app);
    setApplicationIdentity();
    HistoryStore history(HistoryStore::defaultPath());
    TimelineStore timeline(TimelineStore::defaultPath());
    MainWindow window(&history);
    window.setTimeline(&timeline);
    window.show();

    bool ok = true;
    QDir out;
    const auto save = [&ok, &out](QWidget* w, const QString& name) {
        const bool saved = w && w->grab().save(out.filePath(name));
        std::printf("%s %s\n", saved ? "SAVED" : "NOT SAVED", qPrintable(name));
        std::fflush(stdout);
        ok = saved && ok;
    };
    HistoryDlg* historyDlg = nullptr;
    TrendDlg* trendDlg = nullptr;
    const Steps shoot = {
        [&] { save(&window, QStringLiteral("window.png")); },
        [&] {
            window.findChild<QAction*>(QStringLiteral("actHistory"))->trigger();
            historyDlg = window.findChild<HistoryDlg*>();
            if (historyDlg)
                historyDlg->resize(900, 600);
        },
        [&] { save(historyDlg, QStringLiteral("timeline.png")); },
        [&] { trendDlg = openTrend(window, historyDlg, TrendDlg::Range::Hour); },
        [&] { save(trendDlg, QStringLiteral("trend.png")); },
        [&] {
            if (trendDlg)
                trendDlg->close();
            app.exit(ok ? 0 : 1);
        },
    };

    QByteArray pending;
    QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        char chunk[256];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            notifier.setEnabled(false); // the script closed its end
            return;
        }
        pending.append(chunk, int(n));
        for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            if (line == QLatin1String("zone 2")) {
                window.findChild<QPushButton*>(QStringLiteral("btnON2"))->click();
                std::printf("CLICKED zone 2\n");
            } else if (line.startsWith(QLatin1String("shoot "))) {
                out = QDir(line.mid(6));
                runSteps(&shoot, 1000);
            }
        }
        std::fflush(stdout);
    });
    std::printf("READY\n");
    std::fflush(stdout);
    return app.exec();
}
