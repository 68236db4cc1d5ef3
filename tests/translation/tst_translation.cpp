// The window in the language of the environment's locale: German texts under
// LANG=de_DE.UTF-8 (with Qt's own button texts), the English originals under
// LANG=C. The same program runs under both (see CMakeLists.txt).
#include "app/globals.h"
#include "app/mainwindow.h"
#include "app/translations.h"
#include "widgets/settingsdlg.h"
#include "testsettings.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

class TestTranslation : public QObject
{
    Q_OBJECT
private slots:
    void windowTexts()
    {
        const bool german = qgetenv("LANG").startsWith("de");
        QCOMPARE(installTranslations(*qApp, {QStringLiteral(EC_QM_DIR)}), german);

        // A module that never answers: the window opens its link to it only.
        QUdpSocket module;
        QVERIFY(module.bind(QHostAddress(QHostAddress::LocalHost), 0));
        writeSettingsIni(QStringLiteral("127.0.0.1"), module.localPort());
        MainWindow window;
        pollTimer->stop();

        const auto expect = [german](const QString& shown, const char* english, const char* deutsch) {
            QCOMPARE(shown, QString::fromUtf8(german ? deutsch : english));
        };
        expect(window.findChild<QMenu*>(QStringLiteral("menuFile"))->title(), "File", "Datei");
        expect(window.findChild<QMenu*>(QStringLiteral("menuHelp"))->title(), "Help", "Hilfe");
        expect(window.findChild<QGroupBox*>(QStringLiteral("groupBox_2"))->title(), "Fence 1 Control",
               "Steuerung Zaun 1");
        expect(window.findChild<SettingsDlg*>()->windowTitle(), "Settings", "Einstellungen");
        // The manual's name is the same in every language.
        expect(window.findChild<QAction*>(QStringLiteral("actOrvikConfigurator"))->text(), "Orvik Configurator",
               "Orvik Configurator");

        // Qt's own translation, for the standard dialogs.
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        expect(box.button(QDialogButtonBox::Cancel)->text(), "Cancel", "Abbrechen");
    }
};

QTEST_MAIN(TestTranslation)
#include "tst_translation.moc"
