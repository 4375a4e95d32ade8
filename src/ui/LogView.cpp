#include "ui/LogView.h"

#include "engine/EventLog.h"
#include "ui/InfoDialog.h"

namespace orvex {

TLogView::TLogView(EventLog& log, QWidget* parent) : QListWidget(parent)
{
    setObjectName(QStringLiteral("ListBox1"));
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPixelSize(15);
    setFont(f);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setUniformItemSizes(true);

    for (const QString& entry : log.Entries())
        entryAdded(entry);
    connect(&log, &EventLog::EntryAdded, this, &TLogView::entryAdded);
    connect(&log, &EventLog::OldestRemoved, this, &TLogView::oldestRemoved);
    connect(&log, &EventLog::Cleared, this, &QListWidget::clear);
}

int TLogView::SelectedIndex() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TLogView::select(int row)
{
    if (row < 0) {
        clearSelection();
        return;
    }
    setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    scrollToItem(item(row));
}

void TLogView::entryAdded(const QString& entry)
{
    // An empty list with nothing selected counts as following (-1 == 0 - 1).
    const bool following = SelectedIndex() == count() - 1;
    addItem(entry);
    if (following)
        select(count() - 1);
}

void TLogView::oldestRemoved()
{
    if (count() == 0)
        return;
    const int selected = SelectedIndex();
    clearSelection();
    delete takeItem(0);
    // The same entry stays selected; when it was the one removed, nothing is.
    select(selected - 1);
}

void TLogView::ListBox1DblClick()
{
    const int row = SelectedIndex();
    if (row < 0)
        return;
    TFInfo info(item(row)->text(), window());
    info.exec();
}

void TLogView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListWidget::mouseDoubleClickEvent(event);
    ListBox1DblClick();
}

}  // namespace orvex
