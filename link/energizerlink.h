#pragma once

#include "link/linkspec.h"
#include "link/linkstatus.h"

#include <QByteArray>
#include <QObject>

class Energizer;
class EnergizerBus;
class QSerialPort;
class Station;

// The link to one energizer: a bus with one station. Keeps the given
// Energizer object up to date from status replies and resets it when replies
// stop. A send that finds the link down starts reopening it and drops the
// frame. Needs no widget: the window, the command-line tool and the tests
// drive it alike.
class EnergizerLink : public QObject
{
    Q_OBJECT
public:
    EnergizerLink(Energizer& energizer, QObject* parent = nullptr);
    ~EnergizerLink() override;

    // The line and the energizer's address on it; the line applies at the next open().
    void setLink(const LinkSpec& lineSpec, int address);
    const LinkSpec& link() const;

    // (Re)opens the link. Emits opened() once the serial port
    // is open or the network connect has started.
    void open();
    // Closes the link and marks the energizer off line.
    void close();
    // Sends one frame through the bus; true when it went out or waits its
    // turn. Runs the staleness reset first; reopens a link that is down.
    bool send(const QByteArray& frame);
    bool pollStatus();
    bool requestConfig();

    Energizer& energizer() const;
    QSerialPort* serialDevice() const;
    bool isUsable() const;
    EnergizerBus& bus() const { return *m_bus; }
    Station& station() const { return *m_station; }

signals:
    void statusChanged(const LinkStatus& status);
    void opened();
    void usable();
    void statusReceived(const QByteArray& reply);
    void configReceived(const QByteArray& reply);
    void unknownResponse(quint8 code);
    void wentOffline();
    void frameSent(const QByteArray& frame);
    void replyTaken(const QByteArray& reply);

private:
    EnergizerBus* m_bus;
    Station* m_station;
};
