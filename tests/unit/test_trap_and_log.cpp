// The TRAP text split and the event log's entries, bound and time stamp.
#include "base/Clock.h"
#include "engine/EventLog.h"
#include "engine/TrapText.h"

#include <QSignalSpy>
#include <QTest>

using namespace orvex;

class TrapAndLogTest : public QObject {
    Q_OBJECT
private slots:
    void splitTrapText_data();
    void splitTrapText();
    void logEntryFormat();
    void timeStampTenthsNeverCarry_data();
    void timeStampTenthsNeverCarry();
    void logKeepsFiveHundred();
};

void TrapAndLogTest::splitTrapText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("three fields") << QByteArray("a@b.cz\nHello\nBody text") << QByteArray("a@b.cz") << QByteArray("Hello")
                                  << QByteArray("Body text");
    QTest::newRow("no line feed") << QByteArray("just one line") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("one line feed") << QByteArray("605123456\nrest") << QByteArray("605123456") << QByteArray() << QByteArray();
    QTest::newRow("line feed after 40 bytes") << QByteArray(40, 'x') + "\nS\nM" << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("address of 39") << QByteArray(39, 'a') + "\nS\nM" << QByteArray(39, 'a') << QByteArray("S") << QByteArray("M");
    QTest::newRow("subject too long") << "a\n" + QByteArray(40, 's') + "\nM" << QByteArray("a") << QByteArray() << QByteArray();
    QTest::newRow("message cut to 100") << "a\ns\n" + QByteArray(150, 'm') << QByteArray("a") << QByteArray("s") << QByteArray(100, 'm');
    QTest::newRow("8-bit text") << QByteArray("\x9e\xe1k\n\xc8\n\xec") << QByteArray("\x9e\xe1k") << QByteArray("\xc8")
                                << QByteArray("\xec");
    QTest::newRow("embedded NUL ends a field") << QByteArray("ab\0cd\nS\nM", 9) << QByteArray("ab") << QByteArray("S")
                                               << QByteArray("M");
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray() << QByteArray();
}

void TrapAndLogTest::splitTrapText()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, subject);
    QFETCH(QByteArray, message);
    const TrapFields f = SplitTrapText(reinterpret_cast<const uint8_t*>(text.constData()), int(text.size()));
    QCOMPARE(f.Address, address);
    QCOMPARE(f.Subject, subject);
    QCOMPARE(f.Message, message);
}

void TrapAndLogTest::logEntryFormat()
{
    const double at = ToDays(QDateTime(QDate(2026, 12, 11), QTime(14, 5, 9, 376)));
    SetClock([at] { return at; });
    EventLog log;
    log.WriteLog("<COM", "Stav linek");
    SetClock({});
    QCOMPARE(log.Entries().value(0), QString("14:05:09.3  <COM Stav linek"));
    QCOMPARE(log.StatusText(), QString("<COM     Stav linek"));
    log.ShowStatus("<LOC", "Dotaz na TRAP");
    QCOMPARE(log.StatusText(), QString("<LOC     Dotaz na TRAP"));
    QCOMPARE(log.Entries().size(), 1);
}

void TrapAndLogTest::timeStampTenthsNeverCarry_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("stamp");
    QTest::newRow("0") << 0 << "08:00:00.0";
    QTest::newRow("99") << 99 << "08:00:00.0";
    QTest::newRow("100") << 100 << "08:00:00.1";
    QTest::newRow("999") << 999 << "08:00:00.9";
}

void TrapAndLogTest::timeStampTenthsNeverCarry()
{
    QFETCH(int, ms);
    QFETCH(QString, stamp);
    QCOMPARE(EventLog::TimeStamp(ToDays(QDateTime(QDate(2026, 1, 2), QTime(8, 0, 0, ms)))), stamp);
}

void TrapAndLogTest::logKeepsFiveHundred()
{
    EventLog log;
    QSignalSpy removed(&log, &EventLog::OldestRemoved);
    for (int i = 0; i < 501; ++i)
        log.WriteLog("----", QString::number(i));
    QCOMPARE(log.Entries().size(), 500);
    QCOMPARE(removed.count(), 1);
    QVERIFY(log.Entries().first().endsWith("---- 1"));
    QVERIFY(log.Entries().last().endsWith("---- 500"));
}

QTEST_GUILESS_MAIN(TrapAndLogTest)
#include "test_trap_and_log.moc"
