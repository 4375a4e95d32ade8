#include "app/ServiceNotifier.h"

#include "engine/Engine.h"

#ifdef ORVEX_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace orvex {

ServiceNotifier::ServiceNotifier(TAgentEngine& engine, QObject* parent) : QObject(parent), Engine(engine)
{
#ifdef ORVEX_HAVE_SYSTEMD
    // The manager restarts the agent when a period passes without a ping; pinging at half
    // the period leaves a whole half for a busy moment. The timer runs on the event loop,
    // so a loop that hangs stops the pings.
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0)
        WatchdogMs = static_cast<int>(qBound<uint64_t>(1, usec / 2000, 24u * 3600 * 1000));
#endif
    Watchdog.setInterval(WatchdogMs);
    connect(&Watchdog, &QTimer::timeout, this, [this] { notify("WATCHDOG=1"); });
    connect(&Engine, &TAgentEngine::LinkStateChanged, this, [this] {
        if (IsReady && !IsStopping)
            sendStatus();
    });
}

QString ServiceNotifier::StatusText(TLinkState state, const QString& portSettings)
{
    switch (state) {
    case TLinkState::PortClosed: return QStringLiteral("Sériový port %1 není otevřen").arg(portSettings);
    case TLinkState::Waiting: return QStringLiteral("Čekání na ústřednu na portu %1").arg(portSettings);
    case TLinkState::Answering: return QStringLiteral("Ústředna odpovídá na portu %1").arg(portSettings);
    case TLinkState::Unavailable: return QStringLiteral("Ústředna není dostupná na portu %1").arg(portSettings);
    }
    return QString();
}

void ServiceNotifier::Ready()
{
    if (IsReady)
        return;
    IsReady = true;
    sendStatus("READY=1\n");
    if (WatchdogMs > 0)
        Watchdog.start();
}

void ServiceNotifier::Stopping()
{
    if (IsStopping)
        return;
    IsStopping = true;
    Watchdog.stop();
    notify("STOPPING=1");
}

void ServiceNotifier::sendStatus(const QByteArray& prefix)
{
    // One line: a line break would end the STATUS= assignment.
    QString text = StatusText(Engine.LinkState(), Engine.PortSettings);
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    notify(prefix + "STATUS=" + text.toUtf8());
}

void ServiceNotifier::notify(const QByteArray& state)
{
#ifdef ORVEX_HAVE_SYSTEMD
    sd_notify(0, state.constData());
#else
    Q_UNUSED(state);
#endif
}

}  // namespace orvex
