// Where an installed program (the package's folders beside bin) and a build
// folder find their files. setting.ini and the file dialogs' folder: an
// installed program keeps them with the user even when its bin folder is
// writable, as /usr/bin is for root; a build folder keeps setting.ini beside
// the executable. Help's manual: beside the executable first (the build), then
// the installed documentation folder relative to it.
#include "app/manualpath.h"
#include "protocol/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestPaths : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }

    void settings_data()
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

    void settings()
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

    void manual_data()
    {
        QTest::addColumn<QStringList>("present"); // folders holding the manual
        QTest::addColumn<QString>("found");
        const QString bin = QStringLiteral("usr/bin"), doc = QStringLiteral("usr/share/doc/energizer-configurator");
        QTest::newRow("build folder") << QStringList{bin} << bin;
        QTest::newRow("both: beside wins") << QStringList{bin, doc} << bin;
        QTest::newRow("installed") << QStringList{doc} << doc;
        // Nothing there: the path beside the executable, which opens nothing.
        QTest::newRow("none") << QStringList{} << bin;
    }

    void manual()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, found);
        QTemporaryDir root;
        const QDir dir(root.path());
        const QString name = QStringLiteral("/Orvik Configurator.pdf");
        QVERIFY(root.isValid() && dir.mkpath(QStringLiteral("usr/bin")));
        for (const QString& folder : present) {
            QFile manual(dir.filePath(folder) + name);
            QVERIFY(dir.mkpath(folder) && manual.open(QIODevice::WriteOnly));
        }
        QCOMPARE(manualPath(dir.filePath(QStringLiteral("usr/bin"))), dir.filePath(found) + name);
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "tst_paths.moc"
