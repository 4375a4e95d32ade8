#include "base/Clock.h"

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

namespace {
// The system clock in days, without a time-zone lookup per call: the offset from UTC only
// changes on whole hours, so it is looked up again at each new minute.
double systemNow()
{
    static qint64 offsetMs = 0;
    static qint64 minuteStart = -1;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 minute = ms - ms % 60000;
    if (minute != minuteStart) {
        minuteStart = minute;
        offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime).offsetFromUtc()) * 1000;
    }
    constexpr double UnixEpochInDays = 25569.0;  // 1970-01-01 counted from 1899-12-30
    return double(ms + offsetMs) / 86400000.0 + UnixEpochInDays;
}
}  // namespace

double Now()
{
    if (source())
        return source()();
    return systemNow();
}

void SetClock(std::function<double()> s) { source() = std::move(s); }

}  // namespace orvex
