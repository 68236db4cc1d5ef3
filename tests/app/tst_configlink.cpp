// The configuration dialog against energizer-sim over UDP on loopback.
#include "simprocess.h"
#include "testsettings.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "widgets/configdlg.h"
#include "services/configmodel.h"
#include "widgets/writepreviewdlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <memory>

class TstConfigLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!sim.start({QStringLiteral("--udp"), QStringLiteral("0")}).isEmpty(), "energizer-sim did not start (EC_SIM)");
        writeSettingsIni(QStringLiteral("127.0.0.1"), sim.port());
        window = std::make_unique<MainWindow>();
        QVERIFY(stoneIs(QStringLiteral(":/images/redStone.png")));
        // The block arrives, its installer PIN matches, and CONFIG opens up.
        QTRY_VERIFY_WITH_TIMEOUT(window->configModel().received(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(widget<QPushButton>(window.get(), "btnConfig")->isEnabled(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(stoneIs(QStringLiteral(":/images/greenStone.png")), 3000);
    }

    void writeChangesSimulator()
    {
        gateDelay()->setValue(33);
        widget<QCheckBox>(configDlg, "chkSolar")->setChecked(true);
        click("btnWriteEnerg");
        // The energizer's block is read first and the changes are offered.
        QTRY_VERIFY_WITH_TIMEOUT(configDlg->findChild<WritePreviewDlg*>(), 3000);
        configDlg->findChild<WritePreviewDlg*>()->accept();

        // Read back and confirmed in the dialog.
        QTRY_COMPARE_WITH_TIMEOUT(configDlg->exchangeText(), QStringLiteral("Configuration written and verified"), 3000);
        const QByteArray block = sim.block();
        QCOMPARE(int(quint8(block.at(35))), 33);
        QVERIFY(block.at(47) & 0x08); // Solar
        for (int i = 3; i <= 50; ++i)
            QVERIFY2(quint8(block.at(i)) == window->configModel().block()[i], qPrintable(QStringLiteral("byte %1").arg(i)));
    }

    // With the dialog open, status replies alone leave an unwritten edit
    // alone (no re-read once CONFIG is enabled); "Read" replaces it.
    void readReplacesEditWhileOpen()
    {
        const QByteArray simBlock = sim.block();
        QVERIFY(!simBlock.isEmpty());
        const int delay = quint8(simBlock.at(35));
        bool openAndKept = false;
        int shownAfterRead = -1;
        QTimer::singleShot(0, this, [&] { // inside the dialog's exec()
            gateDelay()->setValue(delay == 9 ? 10 : 9);
            QTest::qWait(1500); // over a poll cycle; proves no re-read, so no event to wait for
            openAndKept = QApplication::activeModalWidget() == configDlg && gateDelay()->value() != delay;
            click("btnReadEnerg");
            if (QTest::qWaitFor([&] { return gateDelay()->value() == delay; }, 3000))
                shownAfterRead = gateDelay()->value();
            configDlg->close();
        });
        widget<QPushButton>(window.get(), "btnConfig")->click();
        QVERIFY(openAndKept);
        QCOMPARE(shownAfterRead, delay);
        QTRY_COMPARE(configDlg->exchangeText(), QStringLiteral("Configuration read from energizer"));
    }

private:
    template <class T>
    static T* widget(QWidget* parent, const char* name) { return parent->findChild<T*>(QLatin1String(name)); }
    static bool stoneIs(const QString& image)
    {
        const QPixmap shown = widget<QLabel>(configDlg, "lblCommStatus")->pixmap(Qt::ReturnByValue);
        return !shown.isNull() && shown.toImage() == QPixmap(image).toImage();
    }
    static QSpinBox* gateDelay() { return widget<QSpinBox>(configDlg, "spnGateAlarmDelay"); }
    static void click(const char* button) { widget<QPushButton>(configDlg, button)->click(); }

    SimProcess sim;
    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(TstConfigLink)
#include "tst_configlink.moc"
