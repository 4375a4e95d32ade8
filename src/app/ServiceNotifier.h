// Tells a service manager (systemd) how the agent is doing: READY=1 once start-up has
// finished, WATCHDOG=1 from the event loop while the manager asks for it, STATUS= with
// the link state whenever it changes, STOPPING=1 at shutdown. Nothing is sent when the
// agent was not started by a service manager (no NOTIFY_SOCKET) or was built without
// libsystemd.
#pragma once

#include "engine/LinkState.h"

#include <QObject>
#include <QTimer>

namespace orvex {

class TAgentEngine;

class ServiceNotifier : public QObject {
    Q_OBJECT
public:
    explicit ServiceNotifier(TAgentEngine& engine, QObject* parent = nullptr);

    // After FormCreate: READY=1 with the link state; starts the watchdog pings.
    void Ready();
    // When the event loop has ended, before the shutdown sequence: STOPPING=1. Nothing is
    // sent after it.
    void Stopping();

    // The STATUS= text of a link state on a port.
    static QString StatusText(TLinkState state, const QString& portSettings);

private:
    void notify(const QByteArray& state);
    void sendStatus(const QByteArray& prefix = QByteArray());

    TAgentEngine& Engine;
    QTimer Watchdog;
    int WatchdogMs = 0;  // half the period the manager asked for; 0: none
    bool IsReady = false;
    bool IsStopping = false;
};

}  // namespace orvex
