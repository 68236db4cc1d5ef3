#include "sim/console.h"

#include "protocol/configrecord.h"
#include "sim/output.h"
#include "sim/simline.h"
#include "sim/stationset.h"

#include <QSocketNotifier>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

namespace {
// A line longer than this is not a command; drop it rather than grow forever.
constexpr int MaxLine = 4096;
}

Console::Console(StationSet& stations, const SimLine& line, QObject* parent)
    : QObject(parent), m_stations(stations), m_line(line)
{
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1)
        return; // stdin closed
    m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &Console::readInput);
}

void Console::readInput()
{
    char buffer[1024];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        m_notifier->setEnabled(false);
        return;
    }
    m_pending.append(buffer, static_cast<int>(n));
    int newline;
    while ((newline = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(m_pending.left(newline));
        m_pending.remove(0, newline + 1);
        const QString answer = execute(line);
        if (!answer.isEmpty())
            printLine(answer);
    }
    if (m_pending.size() > MaxLine)
        m_pending.clear();
}

QString Console::execute(const QString& line)
{
    QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QString();
    const QString command = words.takeFirst();
    if (command == QLatin1String("collisions") && words.isEmpty())
        return QStringLiteral("COLLISIONS %1").arg(m_line.collisions());
    if (command == QLatin1String("quit") && words.isEmpty()) {
        emit quitRequested();
        return QStringLiteral("BYE");
    }
    if (command == QLatin1String("help"))
        return QStringLiteral("HELP commands: set <name> 0|1 [address], state [address], dump [address], "
                              "silence [address], resume [address], collisions, quit, help; names: %1")
            .arg(SimEnergizer::bitNames().join(QLatin1Char(' ')));

    // The rest act on one energizer: the one named last, or the lowest served.
    const int arguments = command == QLatin1String("set") ? 2 : 0;
    const bool known = QStringList{"set", "state", "dump", "silence", "resume"}.contains(command);
    if (!known || words.size() < arguments || words.size() > arguments + 1)
        return QStringLiteral("ERROR unknown command (try help)");
    StationSet::Station* station = &m_stations.first();
    if (words.size() > arguments) {
        bool ok = false;
        const int address = words.last().toInt(&ok);
        station = ok ? m_stations.find(address) : nullptr;
        if (!station) {
            QStringList served;
            for (int a : m_stations.addresses())
                served << QString::number(a);
            return QStringLiteral("ERROR %1 is not a served address (%2)").arg(words.last(), served.join(QLatin1Char(',')));
        }
    }
    SimEnergizer& energizer = *station->energizer;
    if (command == QLatin1String("set")) {
        const QString& value = words[1];
        if (value != QLatin1String("0") && value != QLatin1String("1"))
            return QStringLiteral("ERROR value must be 0 or 1");
        if (!energizer.setBit(words[0], value == QLatin1String("1")))
            return QStringLiteral("ERROR unknown name %1 (names: %2)")
                .arg(words[0], SimEnergizer::bitNames().join(QLatin1Char(' ')));
        return QStringLiteral("OK %1=%2").arg(words[0], value);
    }
    if (command == QLatin1String("state")) {
        const SimEnergizer::Zone& z1 = energizer.zone(0);
        const SimEnergizer::Zone& z2 = energizer.zone(1);
        return QStringLiteral("STATE on1=%1 hv1=%2 on2=%3 hv2=%4")
            .arg(int(z1.on)).arg(int(z1.hv)).arg(int(z2.on)).arg(int(z2.hv));
    }
    if (command == QLatin1String("dump"))
        return QStringLiteral("CONFIG ") + hexBytes(energizer.configReply());
    const bool silence = command == QLatin1String("silence");
    station->faults->setSilenced(silence);
    return QStringLiteral("OK %1 %2").arg(command).arg(energizer.address());
}
