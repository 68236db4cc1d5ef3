// Help's manual: beside the executable first (the build), then the installed
// documentation folder relative to it (a package under /usr or /usr/local).
#include "app/manualpath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestManualPath : public QObject
{
    Q_OBJECT
private slots:
    void lookup_data()
    {
        QTest::addColumn<bool>("beside");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("found");
        QTest::newRow("build folder") << true << false << "usr/bin";
        QTest::newRow("both: beside wins") << true << true << "usr/bin";
        QTest::newRow("installed") << false << true << "usr/share/doc/energizer-configurator";
        // Nothing there: the path beside the executable, which opens nothing.
        QTest::newRow("none") << false << false << "usr/bin";
    }
    void lookup()
    {
        QFETCH(bool, beside);
        QFETCH(bool, installed);
        QFETCH(QString, found);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir dir(root.path());
        const QString name = QStringLiteral("/Orvik Configurator.pdf");
        const auto touch = [&](const QString& folder) {
            QVERIFY(dir.mkpath(folder));
            QFile f(dir.filePath(folder) + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        };
        QVERIFY(dir.mkpath(QStringLiteral("usr/bin")));
        if (beside)
            touch(QStringLiteral("usr/bin"));
        if (installed)
            touch(QStringLiteral("usr/share/doc/energizer-configurator"));
        QCOMPARE(manualPath(dir.filePath(QStringLiteral("usr/bin"))), dir.filePath(found) + name);
    }
};

QTEST_GUILESS_MAIN(TestManualPath)
#include "tst_manualpath.moc"
