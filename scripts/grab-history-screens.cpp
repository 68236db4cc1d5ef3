// Saves PNGs of the write preview and of the History dialog, as a user sees
// them after one confirmed write, for the manual. Run through
// scripts/grab-history-screens, which gives it its own history folder.
#include "scripts/screensteps.h"
#include "app/mainwindow.h"
#include "app/translations.h"
#include "widgets/configdlg.h"
#include "widgets/historydlg.h"
#include "widgets/writepreviewdlg.h"
#include "services/historystore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installTranslations(app);
    setApplicationIdentity();
    const QStringList args = app.arguments();
    const QDir out(args.value(1, QStringLiteral(".")));
    const int waitMs = args.value(2, QStringLiteral("4000")).toInt();

    HistoryStore history(HistoryStore::defaultPath());
    MainWindow window(&history);
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
        [&] { save(historyDlg, "history.png"); },
        [&] {
            if (historyDlg)
                historyDlg->close();
        },
        [&] { app.exit(ok ? 0 : 1); },
    };
    QTimer::singleShot(waitMs, [&steps] { runSteps(&steps, 700); });
    return app.exec();
}
