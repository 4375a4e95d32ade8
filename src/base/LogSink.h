// Where every subsystem reports to the operator: the event log and the status bar.
#pragma once

#include <QString>

namespace orvex {

class LogSink {
public:
    virtual ~LogSink() = default;
    // Shows the event in the status bar and appends one entry to the event log.
    virtual void WriteLog(const QString& prefix, const QString& text) = 0;
    // Replaces the status text with prefix, five blanks and text.
    virtual void ShowStatus(const QString& prefix, const QString& text) = 0;
};

}  // namespace orvex
