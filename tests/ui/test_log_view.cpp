// The event log list box: which entry stays selected as entries arrive and the oldest
// are trimmed, and the entry viewer on a double click.
#include "ModalDriver.h"
#include "engine/EventLog.h"
#include "ui/InfoDialog.h"
#include "ui/LogView.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace orvex;
using namespace orvex::test;

class LogViewTest : public QObject {
    Q_OBJECT
private slots:
    void firstEntrySelectedAndFollowed();
    void olderSelectionStopsFollowing();
    void trimKeepsSameEntry_data();
    void trimKeepsSameEntry();
    void trimmedSelectionFollowsNothing();
    void clearedWithTheLog();
    void fixedPitchFont();
    void doubleClickOpensViewer();
    void doubleClickWithoutSelection();
};

namespace {

void fill(EventLog& log, int from, int to)
{
    for (int i = from; i < to; ++i)
        log.WriteLog(QStringLiteral("-OK-"), QStringLiteral("entry %1").arg(i));
}

QString textAt(const TLogView& view, int row) { return view.item(row)->text(); }

}  // namespace

void LogViewTest::firstEntrySelectedAndFollowed()
{
    EventLog log;
    TLogView view(log);
    view.resize(400, 100);
    view.show();
    QCOMPARE(view.SelectedIndex(), -1);
    fill(log, 0, 1);
    QCOMPARE(view.SelectedIndex(), 0);
    fill(log, 1, 40);
    QCOMPARE(view.count(), 40);
    QCOMPARE(view.SelectedIndex(), 39);
    QVERIFY(textAt(view, 39).endsWith("  -OK- entry 39"));
    // Following scrolls the newest entry into view.
    QVERIFY(view.viewport()->rect().intersects(view.visualItemRect(view.item(39))));
    QVERIFY(!view.viewport()->rect().intersects(view.visualItemRect(view.item(0))));
}

void LogViewTest::olderSelectionStopsFollowing()
{
    EventLog log;
    TLogView view(log);
    fill(log, 0, 10);
    view.setCurrentRow(4);
    fill(log, 10, 20);
    QCOMPARE(view.SelectedIndex(), 4);
    QVERIFY(textAt(view, 4).endsWith("entry 4"));
    // Back on the newest entry, the list follows again.
    view.setCurrentRow(view.count() - 1);
    fill(log, 20, 21);
    QCOMPARE(view.SelectedIndex(), 20);
}

void LogViewTest::trimKeepsSameEntry_data()
{
    QTest::addColumn<int>("selected");  // row selected before the 501st entry, -1 for none
    QTest::addColumn<int>("expected");  // selected row after it
    QTest::addColumn<QString>("entry"); // the selected entry's text after it
    QTest::newRow("older entry") << 10 << 9 << "entry 10";
    QTest::newRow("second oldest") << 1 << 0 << "entry 1";
    QTest::newRow("newest follows") << 499 << 499 << "entry 500";
    QTest::newRow("oldest removed") << 0 << -1 << "";
}

void LogViewTest::trimKeepsSameEntry()
{
    QFETCH(int, selected);
    QFETCH(int, expected);
    QFETCH(QString, entry);
    EventLog log;
    TLogView view(log);
    fill(log, 0, EventLog::MaxEntries);
    QCOMPARE(view.count(), 500);
    view.setCurrentRow(selected);
    fill(log, 500, 501);
    QCOMPARE(view.count(), 500);
    QVERIFY(textAt(view, 0).endsWith("entry 1"));
    QVERIFY(textAt(view, 499).endsWith("entry 500"));
    QCOMPARE(view.SelectedIndex(), expected);
    if (expected >= 0)
        QVERIFY(textAt(view, expected).endsWith(entry));
}

void LogViewTest::trimmedSelectionFollowsNothing()
{
    EventLog log;
    TLogView view(log);
    fill(log, 0, 500);
    view.setCurrentRow(0);
    fill(log, 500, 501);
    QCOMPARE(view.SelectedIndex(), -1);
    // With nothing selected in a full list, new entries are not followed.
    fill(log, 501, 520);
    QCOMPARE(view.SelectedIndex(), -1);
    QCOMPARE(view.count(), 500);
    QVERIFY(textAt(view, 0).endsWith("entry 20"));
    view.setCurrentRow(499);
    fill(log, 520, 521);
    QCOMPARE(view.SelectedIndex(), 499);
    QVERIFY(textAt(view, 499).endsWith("entry 520"));
}

void LogViewTest::clearedWithTheLog()
{
    EventLog log;
    fill(log, 0, 3);
    TLogView view(log);  // a view made later shows what is there and follows it
    QCOMPARE(view.count(), 3);
    QCOMPARE(view.SelectedIndex(), 2);
    log.Clear();
    QCOMPARE(view.count(), 0);
    fill(log, 3, 4);
    QCOMPARE(view.SelectedIndex(), 0);
}

void LogViewTest::fixedPitchFont()
{
    EventLog log;
    TLogView view(log);
    QCOMPARE(view.objectName(), QString("ListBox1"));
    QCOMPARE(view.font().pixelSize(), 15);
    // Every character as wide as any other, Czech letters included.
    const QFontMetrics m(view.font());
    for (const QString& c : {QString("i"), QString("W"), QString("ě"), QString(":"), QString("Ů")})
        QCOMPARE(m.horizontalAdvance(c), m.horizontalAdvance(QString("M")));
    QCOMPARE(view.selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(!view.isSortingEnabled());
}

void LogViewTest::doubleClickOpensViewer()
{
    EventLog log;
    TLogView view(log);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    fill(log, 0, 5);
    view.setCurrentRow(2);
    const QString entry = textAt(view, 2);
    QString shown, caption;
    bool readOnly = false;
    ModalDriver driver;
    driver.On<TFInfo>([&](TFInfo* info) {
        caption = info->windowTitle();
        shown = info->Memo1->toPlainText();
        readOnly = info->Memo1->isReadOnly();
        // Entries keep arriving while the viewer is open.
        fill(log, 5, 6);
        info->findChild<QPushButton*>("BitBtn1")->click();
    });
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.visualItemRect(view.item(2)).center());
    QVERIFY(driver.Ran());
    QCOMPARE(caption, QString("Info"));
    QCOMPARE(shown, entry);
    QVERIFY(readOnly);
    QCOMPARE(view.count(), 6);
    QCOMPARE(view.SelectedIndex(), 2);
}

void LogViewTest::doubleClickWithoutSelection()
{
    EventLog log;
    TLogView view(log);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    fill(log, 0, 3);
    view.clearSelection();
    ModalDriver driver;
    driver.On<QDialog>([](QDialog* d) { d->reject(); });
    // Below the last entry: nothing is hit, nothing selected, nothing opens.
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, QPoint(20, view.viewport()->height() - 5));
    QTest::qWait(50);
    QVERIFY(!driver.Ran());
    QCOMPARE(view.SelectedIndex(), -1);
}

QTEST_MAIN(LogViewTest)
#include "test_log_view.moc"
