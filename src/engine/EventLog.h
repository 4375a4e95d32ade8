// The event log model: time-stamped one-line entries, at most 500, and the status text.
// The window's list box and the headless front end observe it.
#pragma once

#include "base/LogSink.h"

#include <QObject>
#include <QStringList>

namespace orvex {

class EventLog : public QObject, public LogSink {
    Q_OBJECT
public:
    static constexpr int MaxEntries = 500;

    using QObject::QObject;

    void WriteLog(const QString& prefix, const QString& text) override;
    void ShowStatus(const QString& prefix, const QString& text) override;
    // Puts a text into the status bar as it stands (socket events, port dialog).
    void SetStatusText(const QString& text);
    void Clear();

    const QStringList& Entries() const { return Items; }
    const QString& StatusText() const { return Status; }

    // "hh:mm:ss.t" for a time of day given in days since 1899-12-30.
    static QString TimeStamp(double days);

signals:
    void EntryAdded(const QString& entry);
    // The oldest entry was dropped to keep the bound.
    void OldestRemoved();
    void Cleared();
    void StatusChanged(const QString& text);

private:
    QStringList Items;
    QString Status;
};

}  // namespace orvex
