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
        QTest::addColumn<QStringList>("present"); // folders holding the manual
        QTest::addColumn<QString>("found");
        const QString bin = QStringLiteral("usr/bin"), doc = QStringLiteral("usr/share/doc/energizer-configurator");
        QTest::newRow("build folder") << QStringList{bin} << bin;
        QTest::newRow("both: beside wins") << QStringList{bin, doc} << bin;
        QTest::newRow("installed") << QStringList{doc} << doc;
        // Nothing there: the path beside the executable, which opens nothing.
        QTest::newRow("none") << QStringList{} << bin;
    }

    void lookup()
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

QTEST_GUILESS_MAIN(TestManualPath)
#include "tst_manualpath.moc"
