// Date-times as days since 1899-12-30 in local time, the fraction being the time of day.
// One program-wide clock that tests can replace.
#pragma once

#include <QDateTime>
#include <cmath>
#include <functional>

namespace orvex {

constexpr double OneMsInDays = 1.157407e-8;
constexpr double OneSecondInDays = 1.157407e-05;

// Whole milliseconds between two date-times, so that an age of exactly a lifetime compares
// as exactly that lifetime whatever the rounding of the day fractions.
inline long long AgeMs(double now, double then) { return std::llround((now - then) * 86400000.0); }

// Converts a local date-time to days since 1899-12-30.
double ToDays(const QDateTime& t);
// Converts days since 1899-12-30 back to a local date-time.
QDateTime FromDays(double days);

// The current date-time in days. Tests install their own source with SetClock.
double Now();
void SetClock(std::function<double()> source);  // an empty function restores the system clock

}  // namespace orvex
