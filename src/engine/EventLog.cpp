#include "engine/EventLog.h"

#include "base/Clock.h"

#include <cmath>

namespace orvex {

QString EventLog::TimeStamp(double days)
{
    const double frac = days - std::floor(days);
    int msOfDay = static_cast<int>(std::floor(frac * 86400000.0 + 1e-3));
    if (msOfDay >= 86400000)
        msOfDay = 86399999;
    const int h = msOfDay / 3600000;
    const int m = msOfDay / 60000 % 60;
    const int s = msOfDay / 1000 % 60;
    const int tenths = msOfDay % 1000 / 100;  // never carried into the next second
    return QStringLiteral("%1:%2:%3.%4")
        .arg(h, 2, 10, QLatin1Char('0'))
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'))
        .arg(tenths);
}

void EventLog::ShowStatus(const QString& prefix, const QString& text)
{
    SetStatusText(prefix + QStringLiteral("     ") + text);
}

void EventLog::SetStatusText(const QString& text)
{
    Status = text;
    emit StatusChanged(Status);
}

void EventLog::WriteLog(const QString& prefix, const QString& text)
{
    ShowStatus(prefix, text);
    QString entry = TimeStamp(Now());
    entry += QStringLiteral("  ");
    entry += prefix;
    entry += QLatin1Char(' ');
    entry += text;
    Items.append(entry);
    emit EntryAdded(entry);
    if (Items.size() > MaxEntries) {
        Items.removeFirst();
        emit OldestRemoved();
    }
}

void EventLog::Clear()
{
    Items.clear();
    emit Cleared();
}

}  // namespace orvex
