// The window against energizer-sim over UDP on loopback: the confirmed write
// and its history, "Read" while the dialog is open, the History dialog's
// restore and export, and a history file that cannot be used.
#include "simprocess.h"
#include "testsettings.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "services/configmodel.h"
#include "widgets/configdlg.h"
#include "protocol/configxml.h"
#include "services/configpush.h"
#include "widgets/historydlg.h"
#include "services/historykeeper.h"
#include "widgets/writepreviewdlg.h"
#include "services/historystore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

ConfigBlock toBlock(const QByteArray& bytes)
{
    ConfigBlock block{};
    blockFromReply(bytes, &block);
    return block;
}

} // namespace

class TstConfigHistory : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(data.isValid());
        // The window's own default path, inside this test's folder.
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        QVERIFY2(!sim.start({QStringLiteral("--udp"), QStringLiteral("0")}).isEmpty(), "energizer-sim did not start (EC_SIM)");
        writeSettingsIni(QStringLiteral("127.0.0.1"), sim.port());
        store = std::make_unique<HistoryStore>(HistoryStore::defaultPath());
        QVERIFY2(store->isAvailable(), qPrintable(store->problem()));
        QVERIFY(store->path().startsWith(data.path()));
        window = std::make_unique<MainWindow>(store.get());
        QVERIFY(stoneIs(QStringLiteral(":/images/redStone.png")));
        // The block arrives, its installer PIN matches, and CONFIG opens up.
        QTRY_VERIFY_WITH_TIMEOUT(window->findChild<QPushButton*>(QStringLiteral("btnConfig"))->isEnabled(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(stoneIs(QStringLiteral(":/images/greenStone.png")), 3000);
        keeper = window->findChild<HistoryKeeper*>();
        push = window->findChild<ConfigPush*>();
        QVERIFY(keeper && push);
        // The block that opened CONFIG is kept as read.
        const QVector<HistoryEntry> entries = energizerEntries();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().kind, HistoryKind::Read);
        QCOMPARE(entries.first().block, toBlock(sim.block()));
    }

    void writeShowsChangesFirst_data()
    {
        QTest::addColumn<bool>("change");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("no change, written") << false << true;
        QTest::newRow("changes, cancelled") << true << false;
        QTest::newRow("changes, written") << true << true; // the History dialog below restores it
    }

    void writeShowsChangesFirst()
    {
        QFETCH(bool, change);
        QFETCH(bool, confirm);
        const QByteArray before = sim.block();
        window->configModel().setReply(before);
        const int entriesBefore = energizerEntries().size();
        QStringList expected;
        auto* solar = configDlg->findChild<QCheckBox*>(QStringLiteral("chkSolar"));
        if (change) {
            gateDelay()->setValue(quint8(before.at(35)) == 20 ? 21 : 20);
            solar->setChecked(!solar->isChecked());
            expected = QStringList{configParamPath(17), configParamPath(7)}; // sorted
        }

        WritePreviewDlg* preview = startWrite();
        QVERIFY(preview);
        QStringList shown = preview->shownParams();
        shown.sort();
        QCOMPARE(shown, expected);
        QCOMPARE(preview->findChild<QLabel*>(QStringLiteral("lblNoChanges"))->isVisibleTo(preview), !change);
        // The backup is the energizer's block as it was.
        const qint64 backup = push->backupId();
        QVERIFY(backup > 0);
        QCOMPARE(store->entry(backup).value.block, toBlock(before));

        if (!confirm) {
            preview->reject();
            QTRY_VERIFY(configDlg->exchangeText().contains(QLatin1String("nothing was written")));
            QCOMPARE(sim.block(), before);
            QCOMPARE(energizerEntries().size(), entriesBefore);
            return;
        }
        preview->accept();
        QTRY_COMPARE_WITH_TIMEOUT(configDlg->exchangeText(), QStringLiteral("Configuration written and verified"), 3000);
        const HistoryEntry newest = energizerEntries().first();
        const QByteArray after = sim.block();
        QCOMPARE(int(quint8(after.at(35))), gateDelay()->value());
        QCOMPARE(bool(after.at(47) & 0x08), solar->isChecked());
        QCOMPARE(newest.block, toBlock(after));
        QCOMPARE(window->configModel().block(), newest.block);
        if (change) {
            QCOMPARE(newest.kind, HistoryKind::Written);
            QCOMPARE(energizerEntries().size(), entriesBefore + 1);
        } else {
            QCOMPARE(newest.id, backup); // nothing new to keep
        }
    }

    // With the dialog open, status replies alone leave an unwritten edit
    // alone (no re-read once CONFIG is enabled); "Read" replaces it.
    void readReplacesEditWhileOpen()
    {
        const int delay = quint8(sim.block().at(35));
        bool openAndKept = false;
        int shownAfterRead = -1;
        QTimer::singleShot(0, this, [&] { // inside the dialog's exec()
            gateDelay()->setValue(delay == 9 ? 10 : 9);
            QTest::qWait(1500); // over a poll cycle; proves no re-read, so no event to wait for
            openAndKept = QApplication::activeModalWidget() == configDlg && gateDelay()->value() != delay;
            configDlg->findChild<QPushButton*>(QStringLiteral("btnReadEnerg"))->click();
            if (QTest::qWaitFor([&] { return gateDelay()->value() == delay; }, 3000))
                shownAfterRead = gateDelay()->value();
            configDlg->close();
        });
        window->findChild<QPushButton*>(QStringLiteral("btnConfig"))->click();
        QVERIFY(openAndKept);
        QCOMPARE(shownAfterRead, delay);
        QTRY_COMPARE(configDlg->exchangeText(), QStringLiteral("Configuration read from energizer"));
    }

    // The last write's backup against the energizer now, exported, and restored.
    void historyDialogRestoresAndExports()
    {
        const qint64 backup = push->backupId();
        const ConfigBlock original = store->entry(backup).value.block;
        QVERIFY(toBlock(sim.block()) != original);
        const QStringList changed{configParamPath(17), configParamPath(7)}; // sorted

        window->findChild<QAction*>(QStringLiteral("actHistory"))->trigger();
        auto* dlg = window->findChild<HistoryDlg*>();
        QVERIFY(dlg);
        QVector<qint64> listed;
        for (const HistoryEntry& entry : energizerEntries())
            listed << entry.id;
        QCOMPARE(dlg->shownIds(), listed);
        QVERIFY(std::is_sorted(listed.rbegin(), listed.rend()));
        QVERIFY(listed.contains(backup));

        // Against the energizer now: the parameters the write changed.
        dlg->selectIds({backup});
        auto* diff = dlg->findChild<QTreeWidget*>(QStringLiteral("twDiff"));
        QTRY_COMPARE_WITH_TIMEOUT(diff->topLevelItemCount(), 2, 3000);
        QStringList shown{diff->topLevelItem(0)->text(0), diff->topLevelItem(1)->text(0)};
        shown.sort();
        QCOMPARE(shown, changed);

        const QString xml = data.filePath(QStringLiteral("backup.xml"));
        dlg->askSaveFileName = [xml](qint64) { return xml; };
        dlg->findChild<QPushButton*>(QStringLiteral("btnExport"))->click();
        QFile exported(xml);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QCOMPARE(exported.readAll(), configToXml(store->entry(backup).value.block));

        dlg->findChild<QPushButton*>(QStringLiteral("btnRestore"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(dlg->findChild<WritePreviewDlg*>(), 3000);
        shown = dlg->findChild<WritePreviewDlg*>()->shownParams();
        shown.sort();
        QCOMPARE(shown, changed);
        dlg->findChild<WritePreviewDlg*>()->accept();
        QTRY_COMPARE_WITH_TIMEOUT(dlg->statusText(), QStringLiteral("Configuration written and verified"), 3000);
        QCOMPARE(toBlock(sim.block()), original);
        QCOMPARE(energizerEntries().first().kind, HistoryKind::Restored);
        QCOMPARE(dlg->shownIds().first(), energizerEntries().first().id);
        dlg->close();
    }

    // A history file that cannot be used (a folder in its place): the window
    // still reads and writes the energizer, and says once why nothing is kept.
    void unusableHistoryLetsReadAndWriteGoOn()
    {
        window.reset();
        HistoryStore unusable(data.path());
        QVERIFY(!unusable.isAvailable());
        MainWindow other(&unusable);
        QSignalSpy told(other.findChild<HistoryKeeper*>(), &HistoryKeeper::unavailable);
        QTRY_VERIFY_WITH_TIMEOUT(other.findChild<QPushButton*>(QStringLiteral("btnConfig"))->isEnabled(), 5000);
        auto* filler = other.findChild<QLabel*>(QStringLiteral("statusFiller"));
        QVERIFY(filler->text().startsWith(QLatin1String("No configuration history is kept: ")));
        QVERIFY(filler->text().contains(unusable.problem()));

        const QByteArray before = sim.block();
        other.configModel().setReply(before);
        gateDelay()->setValue(quint8(before.at(35)) == 25 ? 26 : 25);
        WritePreviewDlg* preview = startWrite();
        QVERIFY(preview);
        QVERIFY(preview->findChild<QLabel*>(QStringLiteral("lblIntro"))->text().contains(QLatin1String("could not be kept")));
        preview->accept();
        QTRY_COMPARE_WITH_TIMEOUT(configDlg->exchangeText(), QStringLiteral("Configuration written and verified"), 3000);
        QCOMPARE(int(quint8(sim.block().at(35))), gateDelay()->value());
        QCOMPARE(told.count(), 1);

        other.findChild<QAction*>(QStringLiteral("actHistory"))->trigger();
        auto* dlg = other.findChild<HistoryDlg*>();
        QVERIFY(dlg && dlg->shownIds().isEmpty());
        QVERIFY(dlg->statusText().contains(unusable.problem()));
    }

private:
    QVector<HistoryEntry> energizerEntries() const
    {
        HistoryFilter filter;
        filter.link = keeper ? keeper->link() : QString();
        filter.address = keeper ? keeper->address() : -1;
        const HistoryResult<QVector<HistoryEntry>> listed = store->list(filter);
        return listed.value;
    }
    // Clicks "Write to energizer"; the preview once the backup is read.
    WritePreviewDlg* startWrite()
    {
        configDlg->findChild<QPushButton*>(QStringLiteral("btnWriteEnerg"))->click();
        if (!QTest::qWaitFor([] { return configDlg->findChild<WritePreviewDlg*>() != nullptr; }, 3000))
            return nullptr;
        return configDlg->findChild<WritePreviewDlg*>();
    }
    static QSpinBox* gateDelay() { return configDlg->findChild<QSpinBox*>(QStringLiteral("spnGateAlarmDelay")); }
    static bool stoneIs(const QString& image)
    {
        const QPixmap shown = configDlg->findChild<QLabel*>(QStringLiteral("lblCommStatus"))->pixmap(Qt::ReturnByValue);
        return !shown.isNull() && shown.toImage() == QPixmap(image).toImage();
    }

    QTemporaryDir data;
    SimProcess sim;
    std::unique_ptr<HistoryStore> store;
    std::unique_ptr<MainWindow> window;
    HistoryKeeper* keeper = nullptr;
    ConfigPush* push = nullptr;
};

QTEST_MAIN(TstConfigHistory)
#include "tst_confighistory.moc"
