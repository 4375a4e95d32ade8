// Date-times as days since 1899-12-30 in local time.
#include "base/Clock.h"

#include <QProcess>
#include <QTest>
#include <cstdio>

using namespace orvex;

class ClockTest : public QObject {
    Q_OBJECT
private slots:
    void daysOfKnownDates_data();
    void daysOfKnownDates();
    void systemClockAgreesWithLocalTime_data();
    void systemClockAgreesWithLocalTime();
    void injectedClockWins();
};

void ClockTest::daysOfKnownDates_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<double>("days");
    QTest::newRow("epoch") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0.0;
    QTest::newRow("1970 noon") << QDateTime(QDate(1970, 1, 1), QTime(12, 0)) << 25569.5;
    QTest::newRow("2026 six o'clock") << QDateTime(QDate(2026, 12, 11), QTime(6, 0)) << 46367.25;
}

void ClockTest::daysOfKnownDates()
{
    QFETCH(QDateTime, when);
    QFETCH(double, days);
    QCOMPARE(ToDays(when), days);
    QCOMPARE(FromDays(days), when);
}

void ClockTest::systemClockAgreesWithLocalTime_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::newRow("UTC") << QByteArray("UTC");
    QTest::newRow("Prague") << QByteArray("Europe/Prague");
    QTest::newRow("New York") << QByteArray("America/New_York");
}

void ClockTest::systemClockAgreesWithLocalTime()
{
    // The time zone is read when a process starts using it, so each zone gets a process of its own.
    QFETCH(QByteArray, zone);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TZ", QString::fromLatin1(zone));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--print-clocks"});
    QVERIFY(child.waitForFinished(10000));
    const QList<QByteArray> values = child.readAllStandardOutput().trimmed().split(' ');
    QCOMPARE(values.size(), 2);
    const double differenceMs = (values[0].toDouble() - values[1].toDouble()) * 86400000.0;
    QVERIFY2(std::abs(differenceMs) < 1000.0, qPrintable(QString::number(differenceMs)));
}

void ClockTest::injectedClockWins()
{
    SetClock([] { return 45000.125; });
    QCOMPARE(Now(), 45000.125);
    SetClock({});
    QVERIFY(Now() > 46000.0);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--print-clocks") == 0) {
        const double fast = Now();
        std::printf("%.12f %.12f\n", fast, ToDays(QDateTime::currentDateTime()));
        return 0;
    }
    ClockTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_clock.moc"
