#include "services/zonecommands.h"

#include "link/station.h"
#include "services/mqttclient.h"

ZoneCommands* ZoneCommands::of(Station& station, int timeoutMs, const QString& who)
{
    if (auto* existing = station.findChild<ZoneCommands*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new ZoneCommands(station, timeoutMs, who);
}

ZoneCommands::ZoneCommands(Station& station, int timeoutMs, const QString& who)
    : QObject(&station)
    , m_switch(station, timeoutMs)
    , m_who(who.isEmpty() ? who : who + QLatin1Char(' '))
{
    connect(&m_switch, &ZoneSwitch::finished, this, &ZoneCommands::finished);
}

void ZoneCommands::take(int zone, const QString& topic, const QByteArray& payload, bool retained)
{
    // A retained command would switch the fence again at every start.
    if (retained) {
        warn(QStringLiteral("ignored a retained command on %1").arg(topic));
        return;
    }
    const QString word = QString::fromUtf8(payload).trimmed();
    ZoneSwitch::Action action;
    if (!ZoneSwitch::parseAction(word, &action)) {
        QString shown = word.left(40);
        for (QChar& c : shown) {
            if (!c.isPrint())
                c = QLatin1Char('?');
        }
        warn(QStringLiteral("ignored \"%1\" on %2: not on, off, hv or lv").arg(shown, topic));
        return;
    }
    if (m_queue.size() >= MaxQueued) {
        warn(QStringLiteral("ignored \"%1\" on %2: too many commands waiting").arg(word, topic));
        return;
    }
    m_queue.enqueue({zone, action});
    runNext();
}

void ZoneCommands::stop()
{
    m_queue.clear();
}

void ZoneCommands::runNext()
{
    if (m_switch.busy() || m_queue.isEmpty())
        return;
    const auto command = m_queue.dequeue();
    static const char* const words[] = {"on", "off", "hv", "lv"};
    m_running = QStringLiteral("zone %1 %2").arg(command.first).arg(QLatin1String(words[static_cast<int>(command.second)]));
    m_switch.start(command.first, command.second);
}

void ZoneCommands::finished(ZoneSwitch::Outcome outcome)
{
    switch (outcome) {
    case ZoneSwitch::Outcome::Done:
        qCDebug(lcMqtt, "%s%s: done", qUtf8Printable(m_who), qUtf8Printable(m_running));
        break;
    case ZoneSwitch::Outcome::NoStatus:
        warn(m_running + QStringLiteral(": no status from the energizer, nothing sent"));
        break;
    case ZoneSwitch::Outcome::NotConfirmed:
        warn(m_running + QStringLiteral(": sent, not confirmed"));
        break;
    }
    runNext();
}

void ZoneCommands::warn(const QString& line) const
{
    qCWarning(lcMqtt, "%s%s", qUtf8Printable(m_who), qUtf8Printable(line));
}

#include "moc_zonecommands.cpp"
