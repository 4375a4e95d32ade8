#include "engine/Clock.h"

#include <cmath>

namespace orvex {

namespace {
const QDateTime& epoch()
{
    static const QDateTime e(QDate(1899, 12, 30), QTime(0, 0), Qt::LocalTime);
    return e;
}
std::function<double()>& source()
{
    static std::function<double()> s;
    return s;
}
}  // namespace

double ToDays(const QDateTime& t)
{
    const QDateTime local = t.toLocalTime();
    const qint64 days = epoch().date().daysTo(local.date());
    const double frac = local.time().msecsSinceStartOfDay() / 86400000.0;
    return static_cast<double>(days) + frac;
}

QDateTime FromDays(double days)
{
    const double whole = std::floor(days);
    const qint64 ms = std::llround((days - whole) * 86400000.0);
    return QDateTime(epoch().date().addDays(static_cast<qint64>(whole)), QTime(0, 0), Qt::LocalTime).addMSecs(ms);
}

double Now()
{
    if (source())
        return source()();
    return ToDays(QDateTime::currentDateTime());
}

void SetClock(std::function<double()> s) { source() = std::move(s); }

}  // namespace orvex
