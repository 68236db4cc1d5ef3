#include "cli/commands.h"

#include "cli/exitstatus.h"
#include "cli/output.h"
#include "protocol/configxml.h"
#include "services/historykeeper.h"
#include "protocol/energizer.h"
#include "protocol/energizerfields.h"
#include "link/energizerbus.h"
#include "link/energizerlink.h"
#include "link/pollinterval.h"
#include "link/station.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

QString noReply(int timeoutMs)
{
    return QStringLiteral("no reply from the energizer within %1 ms").arg(timeoutMs);
}

// "on hv", "off lv": a zone as zone and scan print it.
QString zoneState(const Energizer& e, int zone)
{
    const bool on = zone == 1 ? e.fenceOn1 : e.fenceOn2;
    const bool hv = zone == 1 ? e.fenceHv1 : e.fenceHv2;
    return QStringLiteral("%1 %2").arg(on ? QStringLiteral("on") : QStringLiteral("off"), hv ? QStringLiteral("hv") : QStringLiteral("lv"));
}

// Every station's first poll outcome, as the bus polls them in turn; the
// run ends long before a second poll would be due.
void firstOutcomes(QObject* receiver, EnergizerBus& bus, const std::function<void(Station*, Station::PollOutcome)>& each,
                   const std::function<void()>& all)
{
    auto left = std::make_shared<int>(bus.stations().size());
    for (Station* s : bus.stations()) {
        auto once = std::make_shared<QMetaObject::Connection>();
        *once = QObject::connect(s, &Station::polled, receiver, [&bus, s, once, left, each, all](Station::PollOutcome outcome) {
            QObject::disconnect(*once);
            each(s, outcome);
            if (--*left == 0) {
                bus.setPollInterval(0);
                all();
            }
        });
    }
    bus.setPollInterval(int(MaxPollIntervalSeconds * 1000));
}

} // namespace

void StatusCommand::run()
{
    // One wait of the whole timeout for each reply, however slow the line.
    EnergizerBus::Timing timing;
    timing.replyTimeoutMs = qMax(1, remainingMs());
    m_link.bus().setTiming(timing);
    firstOutcomes(this, m_link.bus(), [this](Station* s, Station::PollOutcome outcome) {
        if (outcome == Station::PollOutcome::Replied)
            m_answered << s;
        m_linkDown = m_linkDown || outcome == Station::PollOutcome::NotSent;
    }, [this] { report(); });
}

void StatusCommand::report()
{
    const QVector<Station*>& stations = m_link.bus().stations();
    if (stations.size() == 1) {
        if (m_answered.isEmpty())
            fail(ExitStatus::NoLink, m_linkDown ? QStringLiteral("the link to the energizer is down") : noReply(m_request.timeoutMs));
        else
            succeed(m_request.json ? statusJson(m_answered.first()->energizer()) : statusText(m_answered.first()->energizer()));
        return;
    }
    QJsonArray array;
    QByteArray text;
    QStringList silent;
    for (Station* s : stations) {
        const bool answered = m_answered.contains(s);
        if (!answered)
            silent << QString::number(s->address());
        QJsonObject object = answered ? energizerToJson(s->energizer()) : QJsonObject();
        if (!answered) {
            object.insert(QStringLiteral("address"), s->address());
            object.insert(QStringLiteral("online"), false);
        }
        array.append(object);
        if (!text.isEmpty())
            text += '\n';
        text += answered ? statusText(s->energizer())
                         : QStringLiteral("address=%1\nonline=false\n").arg(s->address()).toUtf8();
    }
    if (!silent.isEmpty())
        std::fprintf(stderr, "energizer-cli: no reply from address %s within %d ms\n",
                     qPrintable(silent.join(QStringLiteral(", "))), m_request.timeoutMs);
    succeed(m_request.json ? QJsonDocument(array).toJson(QJsonDocument::Indented) : text,
            silent.isEmpty() ? ExitStatus::Done : ExitStatus::NoLink);
}

void ScanCommand::run()
{
    // One request per address at the line's own timeout: the scan's time is bounded.
    firstOutcomes(this, m_link.bus(), [this](Station* s, Station::PollOutcome outcome) {
        if (outcome == Station::PollOutcome::Replied)
            found(s);
    }, [this] { report(); });
}

void ScanCommand::found(Station* station)
{
    const Energizer& e = station->energizer();
    const auto zone = [&e](int z, double volts) { return QStringLiteral("%1 %2 V").arg(zoneState(e, z), fieldText(volts)); };
    QStringList alarms;
    for (const AlarmState& a : energizerAlarms(e)) {
        if (a.active)
            alarms << QLatin1String(a.name);
    }
    const QString line = QStringLiteral("%1: zone 1 %2, zone 2 %3, %4\n")
                             .arg(station->address())
                             .arg(zone(1, e.outputVoltage1), zone(2, e.outputVoltage2),
                                  alarms.isEmpty() ? QStringLiteral("no alarm") : QStringLiteral("alarm: ") + alarms.join(QLatin1Char(' ')));
    // As they answer: a long scan shows its progress.
    std::fputs(line.toUtf8().constData(), stdout);
    std::fflush(stdout);
    m_found << station->address();
}

void ScanCommand::report()
{
    QStringList found;
    for (int a : qAsConst(m_found))
        found << QString::number(a);
    if (m_found.isEmpty()) {
        succeed(QStringLiteral("no energizer answered at addresses %1..%2\n").arg(m_request.scanFrom).arg(m_request.scanTo).toUtf8(),
                ExitStatus::NoLink);
        return;
    }
    succeed(QStringLiteral("%1 %2 answered: %3\n")
                .arg(m_found.size())
                .arg(m_found.size() == 1 ? QStringLiteral("energizer") : QStringLiteral("energizers"), found.join(QStringLiteral(", ")))
                .toUtf8());
}

ConfigCommand::ConfigCommand(EnergizerLink& link, const CliRequest& request, HistoryKeeper& keeper, QObject* parent)
    : CliCommand(link, request, parent)
    , m_keeper(keeper)
    , m_transfer(new ConfigTransfer(link.station(), this))
{
    connect(m_transfer, &ConfigTransfer::readFinished, this, &ConfigCommand::blockRead);
}

int ConfigCommand::prepare(QString* reason)
{
    if (m_request.file.isEmpty())
        return ExitStatus::Done;
    // A bad file is reported before any frame goes out.
    return loadConfigFile(m_request.file, m_file, reason) ? ExitStatus::Done : ExitStatus::BadFile;
}

void ConfigCommand::run()
{
    m_transfer->read();
    armDeadline(remainingMs(), ExitStatus::NoLink, noReply(m_request.timeoutMs));
}

void ConfigCommand::blockRead(ConfigTransfer::Outcome outcome, const QByteArray& reply)
{
    ConfigBlock block{};
    if (takeRead(*m_transfer, m_keeper, outcome, reply, &block))
        report(block);
}

void ConfigCommand::report(const ConfigBlock& block)
{
    const QString& sub = m_request.subcommand;
    if (sub == QLatin1String("read")) {
        QString error;
        if (m_request.outputFile.isEmpty())
            succeed(configToXml(block));
        else if (writeOutput(configToXml(block), m_request.outputFile, &error))
            succeed({});
        else
            fail(ExitStatus::BadFile, error);
    } else if (sub == QLatin1String("show")) {
        succeed(m_request.json ? configShowJson(block) : configShowText(block));
    } else {
        const ConfigBlock fromFile = applyParams(block, documentParams(m_file));
        const QByteArray lines = configDiffText(block, fromFile, paramsInDocument(m_file));
        succeed(lines, lines.isEmpty() ? ExitStatus::Done : ExitStatus::Differences);
    }
}

ZoneCommand::ZoneCommand(EnergizerLink& link, const CliRequest& request, QObject* parent)
    : CliCommand(link, request, parent)
    , m_switch(new ZoneSwitch(link.station(), request.timeoutMs, this))
{
    connect(m_switch, &ZoneSwitch::finished, this, &ZoneCommand::switched);
}

void ZoneCommand::run()
{
    m_switch->start(m_request.zone, m_request.action);
}

void ZoneCommand::switched(ZoneSwitch::Outcome outcome)
{
    switch (outcome) {
    case ZoneSwitch::Outcome::Done:
        succeed(QStringLiteral("zone %1 %2\n").arg(m_request.zone).arg(zoneState(m_link.energizer(), m_request.zone)).toUtf8());
        break;
    case ZoneSwitch::Outcome::NoStatus:
        fail(ExitStatus::NoLink, noReply(m_request.timeoutMs));
        break;
    case ZoneSwitch::Outcome::NotConfirmed:
        fail(ExitStatus::NotConfirmed,
             QStringLiteral("zone command not confirmed: no status showed the change within %1 ms").arg(m_request.timeoutMs));
        break;
    }
}

#include "moc_commands.cpp"
