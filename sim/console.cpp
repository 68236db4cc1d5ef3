#include "sim/console.h"

#include "config/configrecord.h"
#include "sim/output.h"
#include "sim/simenergizer.h"

#include <QSocketNotifier>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

namespace {
// A line longer than this is not a command; drop it rather than grow forever.
constexpr int MaxLine = 4096;
}

Console::Console(SimEnergizer& energizer, QObject* parent) : QObject(parent), energizer_(energizer)
{
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1)
        return; // stdin closed
    notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &Console::readInput);
}

void Console::readInput()
{
    char buffer[1024];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        notifier_->setEnabled(false);
        return;
    }
    pending_.append(buffer, static_cast<int>(n));
    int newline;
    while ((newline = pending_.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(pending_.left(newline));
        pending_.remove(0, newline + 1);
        const QString answer = execute(line);
        if (!answer.isEmpty())
            printLine(answer);
    }
    if (pending_.size() > MaxLine)
        pending_.clear();
}

QString Console::execute(const QString& line)
{
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QString();
    const QString& command = words.first();
    if (command == QLatin1String("set") && words.size() == 3) {
        const QString& value = words[2];
        if (value != QLatin1String("0") && value != QLatin1String("1"))
            return QStringLiteral("ERROR value must be 0 or 1");
        if (!energizer_.setBit(words[1], value == QLatin1String("1")))
            return QStringLiteral("ERROR unknown name %1 (names: %2)")
                .arg(words[1], SimEnergizer::bitNames().join(QLatin1Char(' ')));
        return QStringLiteral("OK %1=%2").arg(words[1], value);
    }
    if (command == QLatin1String("state") && words.size() == 1) {
        const SimEnergizer::Zone& z1 = energizer_.zone(0);
        const SimEnergizer::Zone& z2 = energizer_.zone(1);
        return QStringLiteral("STATE on1=%1 hv1=%2 on2=%3 hv2=%4")
            .arg(int(z1.on)).arg(int(z1.hv)).arg(int(z2.on)).arg(int(z2.hv));
    }
    if (command == QLatin1String("dump") && words.size() == 1)
        return QStringLiteral("CONFIG ") + hexBytes(energizer_.configReply());
    if (command == QLatin1String("quit") && words.size() == 1) {
        emit quitRequested();
        return QStringLiteral("BYE");
    }
    if (command == QLatin1String("help"))
        return QStringLiteral("HELP commands: set <name> 0|1, state, dump, quit, help; names: %1")
            .arg(SimEnergizer::bitNames().join(QLatin1Char(' ')));
    return QStringLiteral("ERROR unknown command (try help)");
}
