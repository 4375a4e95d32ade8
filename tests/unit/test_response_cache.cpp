// The response cache: lookup newest first, prefix match, lifetimes, the ring, what is stored.
#include "base/Clock.h"
#include "gateway/ResponseCache.h"

#include <QTest>

using namespace orvex;

namespace {
QByteArray hex(const char* t) { return QByteArray::fromHex(QByteArray(t).replace(' ', "")); }
const uint8_t* u(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }
int len(const QByteArray& b) { return int(b.size()); }
void store(TResponseCache& c, const char* req, const char* ans, double now)
{
    const QByteArray r = hex(req), a = hex(ans);
    c.CacheStore(u(r), len(r), len(a), u(a), now);
}
int find(const TResponseCache& c, const char* req, bool fresh, double now)
{
    const QByteArray r = hex(req);
    return c.CacheFind(u(r), len(r), fresh, now);
}
}  // namespace

class ResponseCacheTest : public QObject {
    Q_OBJECT
private slots:
    void lifetimes_data();
    void lifetimes();
    void onlyReadsAndFittingAnswersAreStored();
    void sameRequestRefreshedInPlace();
    void ringOverwritesOldest();
    void prefixMatchAndStaleTail();
    void noCacheWithZeroEntries();
};

void ResponseCacheTest::lifetimes_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<double>("ageMs");
    QTest::addColumn<bool>("served");
    QTest::newRow("Skupiny young") << hex("00 0B 03") << 4999.0 << true;
    QTest::newRow("Skupiny at MaxAge") << hex("00 0B 03") << 5000.0 << false;
    QTest::newRow("Global hour") << hex("00 00 01") << 3599000.0 << true;
    QTest::newRow("VLProvoz 2 s") << hex("00 10 00") << 2001.0 << false;
    QTest::newRow("structure 46: 10 ms") << hex("00 2E 00") << 9.0 << true;
    QTest::newRow("structure 46 expired") << hex("00 2E 00") << 11.0 << false;
}

void ResponseCacheTest::lifetimes()
{
    QFETCH(QByteArray, request);
    QFETCH(double, ageMs);
    QFETCH(bool, served);
    TResponseCache c;
    QVERIFY(c.Allocate(4));
    const double t0 = 45000.25;
    const QByteArray answer = hex("00 01 02 03");
    c.CacheStore(u(request), len(request), len(answer), u(answer), t0);
    QCOMPARE(c.CacheFind(u(request), len(request), true, t0 + ageMs * OneMsInDays) >= 0, served);
    QVERIFY(c.CacheFind(u(request), len(request), false, t0 + ageMs * OneMsInDays) >= 0);
}

void ResponseCacheTest::onlyReadsAndFittingAnswersAreStored()
{
    TResponseCache c;
    QVERIFY(c.Allocate(4));
    store(c, "01 0B 03 55", "00 0B 03", 1.0);  // a write
    QCOMPARE(c.CacheCount, 0);
    const QByteArray r = hex("00 0B 03");
    const QByteArray longAnswer(257, '\x07');
    c.CacheStore(u(r), len(r), len(longAnswer), u(longAnswer), 1.0);
    QCOMPARE(c.CacheCount, 0);  // never copied past the slot, and never served cut
    const QByteArray fits(256, '\x07');
    c.CacheStore(u(r), len(r), len(fits), u(fits), 1.0);
    QCOMPARE(c.CacheCount, 1);
    QCOMPARE(c.Entry(0).AnswerLen, 256);
    store(c, "00 0C 01", "05", 1.0);  // error answers to reads are stored too
    QCOMPARE(c.CacheCount, 2);
}

void ResponseCacheTest::sameRequestRefreshedInPlace()
{
    TResponseCache c;
    QVERIFY(c.Allocate(4));
    store(c, "00 0B 03", "00 0B 03 01", 1.0);
    store(c, "00 0C 03", "00 0C 03 01", 1.0);
    store(c, "00 0B 03", "00 0B 03 02", 1.5);
    QCOMPARE(c.CacheCount, 2);
    const int i = find(c, "00 0B 03", false, 1.5);
    QCOMPARE(i, 0);
    QCOMPARE(c.Entry(i).Answer[3], uint8_t(2));
    QCOMPARE(c.Entry(i).Stored, 1.5);
}

void ResponseCacheTest::ringOverwritesOldest()
{
    TResponseCache c;
    QVERIFY(c.Allocate(3));
    store(c, "00 01 01", "00", 1.0);
    store(c, "00 01 02", "00", 1.0);
    store(c, "00 01 03", "00", 1.0);
    store(c, "00 01 04", "00", 1.0);
    QCOMPARE(c.CacheCount, 3);
    QCOMPARE(find(c, "00 01 01", false, 1.0), -1);
    for (const char* r : {"00 01 02", "00 01 03", "00 01 04"})
        QVERIFY(find(c, r, false, 1.0) >= 0);
    QCOMPARE(find(c, "00 01 04", false, 1.0), 0);  // the fourth took the first's slot
}

void ResponseCacheTest::prefixMatchAndStaleTail()
{
    TResponseCache c;
    QVERIFY(c.Allocate(1));
    store(c, "00 0B 03", "00 0B 03 09", 1.0);
    QCOMPARE(find(c, "00 0B", true, 1.0), 0);
    QCOMPARE(find(c, "00 0B 04", true, 1.0), -1);
    // A shorter request that takes the slot leaves nothing of the longer one behind.
    store(c, "00 0C", "00 0C 00 01", 1.0);
    QCOMPARE(find(c, "00 0C 03", false, 1.0), -1);
    // A request longer than a slot cannot match.
    const QByteArray huge(300, '\0');
    QCOMPARE(c.CacheFind(u(huge), len(huge), false, 1.0), -1);
}

void ResponseCacheTest::noCacheWithZeroEntries()
{
    TResponseCache c;
    QVERIFY(c.Allocate(0));
    store(c, "00 0B 03", "00", 1.0);
    QCOMPARE(c.CacheCount, 0);
    QCOMPARE(find(c, "00 0B 03", false, 1.0), -1);
}

QTEST_GUILESS_MAIN(ResponseCacheTest)
#include "test_response_cache.moc"
