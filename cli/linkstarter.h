#pragma once

#include <QElapsedTimer>
#include <QHostInfo>
#include <QObject>
#include <QTimer>

class EnergizerLink;

// Brings the link to where a first frame can go out: resolves a host name,
// opens the link, waits for it to become usable. Fails with a one-line reason when
// the port cannot be opened, the host does not resolve, or nothing connects
// before the deadline. A tolerant start (watch) goes on without the connect.
class LinkStarter : public QObject
{
    Q_OBJECT
public:
    LinkStarter(EnergizerLink& link, int timeoutMs, QObject* parent = nullptr);
    ~LinkStarter() override;

    void setTolerant(bool tolerant) { m_tolerant = tolerant; }
    void start();
    // Time left of the timeout, counted from start().
    int remainingMs() const;
    // A host lookup cannot be cancelled; the process must not wait for it at exit.
    bool lookupPending() const { return m_lookupId >= 0; }

signals:
    void ready();
    void failed(const QString& reason);

private:
    void hostLookedUp(const QHostInfo& info);
    void openLink();
    void check();
    // Ready when failure is empty, else failed with it.
    void end(const QString& failure);
    QString target() const;

    EnergizerLink& m_link;
    int m_timeoutMs;
    bool m_tolerant = false;
    bool m_done = false;
    int m_lookupId = -1;
    QString m_socketError;
    QString m_serialError;
    bool m_bindFailed = false;
    QElapsedTimer m_clock;
    QTimer m_deadline;
};
