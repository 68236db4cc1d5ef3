#include "link/energizerlink.h"

#include "link/energizerbus.h"
#include "link/linktransport.h"
#include "link/station.h"

EnergizerLink::EnergizerLink(Energizer& energizer, QObject* parent)
    : QObject(parent)
    , m_bus(new EnergizerBus(this))
    , m_station(m_bus->addStation(1, &energizer))
{
    connect(m_bus, &EnergizerBus::statusChanged, this, &EnergizerLink::statusChanged);
    connect(m_bus, &EnergizerBus::opened, this, &EnergizerLink::opened);
    connect(m_bus, &EnergizerBus::usable, this, &EnergizerLink::usable);
    connect(m_bus, &EnergizerBus::unknownResponse, this, &EnergizerLink::unknownResponse);
    connect(m_bus, &EnergizerBus::frameSent, this, &EnergizerLink::frameSent);
    connect(m_bus, &EnergizerBus::replyTaken, this, &EnergizerLink::replyTaken);
    connect(m_station, &Station::statusReceived, this, &EnergizerLink::statusReceived);
    connect(m_station, &Station::configReceived, this, &EnergizerLink::configReceived);
    connect(m_station, &Station::wentOffline, this, &EnergizerLink::wentOffline);
}

EnergizerLink::~EnergizerLink() = default;

void EnergizerLink::setLink(const LinkSpec& lineSpec, int address)
{
    m_bus->setLink(lineSpec);
    m_station->setAddress(address);
}

const LinkSpec& EnergizerLink::link() const
{
    return m_bus->link();
}

void EnergizerLink::open()
{
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
