// The source tree's layering: each folder includes only the layers below it,
// and only the window's own folder reaches the process-wide pointers.
#include <QDir>
#include <QDirIterator>
#include <QHash>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QStringList Skipped{"tests", "bench", "fuzz", "build", "docs", "scripts"};

using Graph = QHash<QString, QHash<QString, QString>>; // folder -> folder -> first file

Graph includeGraph(const QDir& root, QStringList* globalsUsers)
{
    Graph graph;
    const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s+\"([a-z]+)/([^\"]+)\""),
                                     QRegularExpression::MultilineOption);
    QDirIterator it(root.path(), {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = root.relativeFilePath(it.next());
        const QString folder = path.section(QLatin1Char('/'), 0, 0);
        if (!path.contains(QLatin1Char('/')) || Skipped.contains(folder) || folder.startsWith(QLatin1String("build")))
            continue;
        QFile f(root.filePath(path));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(f.readAll());
        auto m = include.globalMatch(text);
        while (m.hasNext()) {
            const auto match = m.next();
            const QString target = match.captured(1);
            if (target != folder && root.exists(target))
                graph[folder].insert(target, path);
            if (target == QLatin1String("app") && match.captured(2) == QLatin1String("globals.h") && folder != QLatin1String("app"))
                *globalsUsers << path;
        }
    }
    return graph;
}

// Libraries by layer: a folder includes only folders of a lower layer, so the
// tree reads bottom up and no two folders need each other. The programs sit
// on top and never include one another.
const QHash<QString, int> Layer{
    {"protocol", 0}, {"link", 1}, {"services", 2}, {"widgets", 3},
    {"app", 4}, {"cli", 4}, {"gateway", 4}, {"sim", 4},
};

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT
private slots:
    void foldersIncludeOnlyLowerLayers()
    {
        QStringList globalsUsers;
        const Graph graph = includeGraph(QDir(QStringLiteral(EC_SOURCE_DIR)), &globalsUsers);
        QVERIFY(graph.value(QStringLiteral("app")).contains(QStringLiteral("link")));
        for (auto it = graph.cbegin(); it != graph.cend(); ++it) {
            QVERIFY2(Layer.contains(it.key()), qPrintable(it.key() + QStringLiteral(" has no layer")));
            for (auto to = it.value().cbegin(); to != it.value().cend(); ++to)
                QVERIFY2(Layer.value(to.key(), 99) < Layer.value(it.key()),
                         qPrintable(to.value() + QStringLiteral(" includes ") + to.key()));
        }
        QVERIFY2(globalsUsers.isEmpty(), qPrintable(globalsUsers.join(QStringLiteral(", "))));
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
