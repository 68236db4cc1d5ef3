// A history file that cannot be used (here a folder in its place): the window
// still reads and writes the energizer, and says once why nothing is kept.
#include "simprocess.h"
#include "testsettings.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "widgets/configdlg.h"
#include "services/configmodel.h"
#include "widgets/historydlg.h"
#include "services/historykeeper.h"
#include "widgets/writepreviewdlg.h"
#include "services/historystore.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TstHistoryUnusable : public QObject
{
    Q_OBJECT
private slots:
    void readAndWriteGoOn()
    {
        QTemporaryDir data;
        QVERIFY(data.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        QVERIFY(QDir().mkpath(HistoryStore::defaultPath()));
        HistoryStore store(HistoryStore::defaultPath());
        QVERIFY(!store.isAvailable());

        SimProcess sim;
        QVERIFY2(!sim.start({QStringLiteral("--udp"), QStringLiteral("0")}).isEmpty(), "energizer-sim did not start (EC_SIM)");
        writeSettingsIni(QStringLiteral("127.0.0.1"), sim.port());
        MainWindow window(&store);
        QSignalSpy told(window.findChild<HistoryKeeper*>(), &HistoryKeeper::unavailable);

        // The read opens CONFIG as ever.
        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QPushButton*>(QStringLiteral("btnConfig"))->isEnabled(), 5000);
        auto* filler = window.findChild<QLabel*>(QStringLiteral("statusFiller"));
        QVERIFY(filler->text().startsWith(QLatin1String("No configuration history is kept: ")));
        QVERIFY(filler->text().contains(store.problem()));

        const QByteArray before = sim.block();
        window.configModel().setReply(before);
        auto* delay = configDlg->findChild<QSpinBox*>(QStringLiteral("spnGateAlarmDelay"));
        delay->setValue(quint8(before.at(35)) == 25 ? 26 : 25);
        configDlg->findChild<QPushButton*>(QStringLiteral("btnWriteEnerg"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(configDlg->findChild<WritePreviewDlg*>(), 3000);
        auto* preview = configDlg->findChild<WritePreviewDlg*>();
        QVERIFY(preview->findChild<QLabel*>(QStringLiteral("lblIntro"))->text().contains(QLatin1String("could not be kept")));
        preview->accept();
        QTRY_COMPARE_WITH_TIMEOUT(configDlg->exchangeText(), QStringLiteral("Configuration written and verified"), 3000);
        QCOMPARE(int(quint8(sim.block().at(35))), delay->value());
        QCOMPARE(told.count(), 1);

        window.findChild<QAction*>(QStringLiteral("actHistory"))->trigger();
        auto* dlg = window.findChild<HistoryDlg*>();
        QVERIFY(dlg && dlg->shownIds().isEmpty());
        QVERIFY(dlg->statusText().contains(store.problem()));
    }
};

QTEST_MAIN(TstHistoryUnusable)
#include "tst_historyunusable.moc"
