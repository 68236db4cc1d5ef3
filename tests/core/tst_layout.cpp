// The source tree's layering: no folder includes a folder that includes it
// back (through any number of others), and only the window's own folder
// reaches the process-wide pointers.
#include <QDir>
#include <QDirIterator>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
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

// A path of folders that comes back to its start, or empty.
QStringList cycleFrom(const Graph& graph, const QString& start)
{
    QStringList path{start};
    QSet<QString> seen;
    std::function<bool(const QString&)> walk = [&](const QString& at) {
        for (auto it = graph.value(at).cbegin(); it != graph.value(at).cend(); ++it) {
            if (it.key() == start) {
                path << start;
                return true;
            }
            if (seen.contains(it.key()))
                continue;
            seen.insert(it.key());
            path << it.key();
            if (walk(it.key()))
                return true;
            path.removeLast();
        }
        return false;
    };
    return walk(start) ? path : QStringList();
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT
private slots:
    void foldersIncludeNothingBack()
    {
        QStringList globalsUsers;
        const Graph graph = includeGraph(QDir(QStringLiteral(EC_SOURCE_DIR)), &globalsUsers);
        QVERIFY(graph.value(QStringLiteral("app")).contains(QStringLiteral("link")));
        for (auto it = graph.cbegin(); it != graph.cend(); ++it) {
            const QStringList cycle = cycleFrom(graph, it.key());
            if (cycle.isEmpty())
                continue;
            QStringList where;
            for (int i = 0; i + 1 < cycle.size(); ++i)
                where << graph.value(cycle[i]).value(cycle[i + 1]);
            QFAIL(qPrintable(cycle.join(QStringLiteral(" -> ")) + QStringLiteral(" (") + where.join(QStringLiteral(", ")) + QLatin1Char(')')));
        }
        QVERIFY2(globalsUsers.isEmpty(), qPrintable(globalsUsers.join(QStringLiteral(", "))));
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
