// The event log list box (ListBox1): shows the engine's log and keeps the operator's
// place in it. It follows new entries while the selection is on the newest one, stays
// put when the operator selects an older one, and keeps the same entry selected when
// the oldest is trimmed.
#pragma once

#include <QListWidget>

namespace orvex {

class EventLog;

class TLogView : public QListWidget {
    Q_OBJECT
public:
    explicit TLogView(EventLog& log, QWidget* parent = nullptr);

    // The selected row, or -1.
    int SelectedIndex() const;
    // Opens the entry viewer on the selected entry; nothing without a selection.
    void ListBox1DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void entryAdded(const QString& entry);
    void oldestRemoved();
    void select(int row);
};

}  // namespace orvex
