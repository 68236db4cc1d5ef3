#include "link/energizerlink.h"

#include "link/energizerbus.h"
#include "link/linktransport.h"
#include "link/station.h"

EnergizerLink::EnergizerLink(Energizer& energizer, QObject* parent)
    : QObject(parent)
    , m_bus(new EnergizerBus(this))
    , m_station(m_bus->addStation(1, &energizer))
{
    LinkTransport& t = m_bus->transport();
    connect(&t, &LinkTransport::statusChanged, this, &EnergizerLink::statusChanged);
    connect(&t, &LinkTransport::opened, this, &EnergizerLink::opened);
    connect(&t, &LinkTransport::usable, this, &EnergizerLink::usable);
    connect(&t, &LinkTransport::unknownResponse, this, &EnergizerLink::unknownResponse);
    connect(&t, &LinkTransport::frameSent, this, &EnergizerLink::frameSent);
    connect(&t, &LinkTransport::replyTaken, this, &EnergizerLink::replyTaken);
    connect(m_station, &Station::statusReceived, this, &EnergizerLink::statusReceived);
    connect(m_station, &Station::configReceived, this, &EnergizerLink::configReceived);
    connect(m_station, &Station::wentOffline, this, &EnergizerLink::wentOffline);
}

EnergizerLink::~EnergizerLink() = default;

void EnergizerLink::setSettings(const Settings& settings)
{
    m_bus->setSettings(settings);
}

const Settings& EnergizerLink::settings() const
{
    return m_bus->settings();
}

void EnergizerLink::open()
{
    m_station->setAddress(settings().energizerAddress);
    m_bus->open();
}

void EnergizerLink::close()
{
    m_bus->close();
}

bool EnergizerLink::send(const QByteArray& frame)
{
    return m_bus->send(*m_station, frame);
}

bool EnergizerLink::pollStatus()
{
    return m_station->pollStatus();
}

bool EnergizerLink::requestConfig()
{
    return m_station->requestConfig();
}

Energizer& EnergizerLink::energizer() const
{
    return m_station->energizer();
}

QSerialPort* EnergizerLink::serialDevice() const
{
    return m_bus->transport().serialDevice();
}

bool EnergizerLink::isUsable() const
{
    return m_bus->transport().isUsable();
}
