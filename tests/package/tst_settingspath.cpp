// setting.ini and the file dialogs' folder: an installed program (the
// package's data folder beside bin) keeps them with the user even when its
// bin folder is writable, as /usr/bin is for root; a build folder keeps
// setting.ini beside the executable.
#include "protocol/settingsfile.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestSettingsPath : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }

    void layout_data()
    {
        QTest::addColumn<QString>("program"); // the program's folder
        QTest::addColumn<QStringList>("present"); // other folders
        QTest::addColumn<bool>("installed");
        const QString bin = QStringLiteral("usr/bin");
        const QString share = QStringLiteral("usr/share/energizer-configurator");
        QTest::newRow("build folder") << bin << QStringList{} << false;
        QTest::newRow("package") << bin << QStringList{share} << true;
        // The mqtt helper finds the file the other commands use.
        QTest::newRow("package helper") << QStringLiteral("usr/libexec/energizer-configurator") << QStringList{share} << true;
        // Another program's data, or only the documentation: not ours.
        QTest::newRow("share without our folder") << bin << QStringList{QStringLiteral("usr/share/doc/energizer-configurator")} << false;
    }

    void layout()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, present);
        QFETCH(bool, installed);
        QTemporaryDir root;
        const QDir dir(root.path());
        QVERIFY(root.isValid() && dir.mkpath(program));
        for (const QString& folder : present)
            QVERIFY(dir.mkpath(folder));
        const QString bin = dir.filePath(program);
        QVERIFY(QFileInfo(bin).isWritable());

        const QString userIni =
            QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/setting.ini");
        QCOMPARE(settingsFilePath(bin), installed ? userIni : bin + QStringLiteral("/setting.ini"));
        QCOMPARE(fileDialogFolder(bin), installed ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) : bin);
    }
};

QTEST_GUILESS_MAIN(TestSettingsPath)
#include "tst_settingspath.moc"
