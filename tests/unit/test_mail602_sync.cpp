// Mailbox synchronisation: the gateway reads the real library's change lists, built from
// Maildirs on disk, into the exchange's per-line counters. Failures come from the test
// build of the library, which takes its faults from the environment.
#include "MailTestSupport.h"
#include "link/Data.h"
#include "mail/Mail602.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace mailtest;
using orvex::TMail602;

namespace {

struct Counters {
    int Sms, Voice, Fax;
    bool operator==(const Counters& o) const { return Sms == o.Sms && Voice == o.Voice && Fax == o.Fax; }
};

char* toString(const Counters& c)
{
    return QTest::toString(QStringLiteral("sms %1 voice %2 fax %3").arg(c.Sms).arg(c.Voice).arg(c.Fax));
}

}  // namespace

class TestMail602Sync : public QObject {
    Q_OBJECT

private:
    QTemporaryDir Tmp;
    QString Root;
    QString Box21;
    QString Box22;
    QString Config;
    std::unique_ptr<orvex::TData> Pbx;
    CollectingLog Log;
    bool Extent = true;
    std::unique_ptr<TMail602> Mail;

    Counters Line(int i) const { return {Pbx->Lines[i].Other, Pbx->Lines[i].Voice, Pbx->Lines[i].Fax}; }

    void Start(const QString& library = QStringLiteral("agentqx"))
    {
        Mail = std::make_unique<TMail602>(*Pbx, Log, Extent, LibraryFile(library));
        Mail->ConfigPath = Config;
        Mail->InitCommunication();
    }

    void AgeAll()
    {
        AgeMaildir(Box21);
        AgeMaildir(Box22);
        AgeMaildir(Root + "/nikdo");
    }

private slots:
    void initTestCase() { QVERIFY(Tmp.isValid()); }

    void init()
    {
        qunsetenv("AGENTQX_FAULTS");
        Root = Tmp.filePath(QString::fromLatin1(QTest::currentTestFunction()));
        Box21 = Root + "/recepce";
        Box22 = Root + "/sklad";
        QVERIFY(MakeMaildir(Box21));
        QVERIFY(MakeMaildir(Box22));
        AgentqxConfig c;
        c.Outbox = Root + "/outbox";
        c.Boxes = {{QStringLiteral("Recepce"), "21", Box21}, {"Sklad", "22", Box22}, {"Nikdo", "99", Root + "/nikdo"}};
        QVERIFY(MakeMaildir(Root + "/nikdo"));
        Config = Root + "/agentqx.ini";
        QVERIFY(WriteConfig(Config, c));
        Pbx = std::make_unique<orvex::TData>();
        qstrcpy(Pbx->Lines[0].Number, "21");
        qstrcpy(Pbx->Lines[1].Number, "22");
        qstrcpy(Pbx->Lines[2].Number, "23");
        Pbx->LineCount = 3;
        Log.Lines.clear();
        Extent = true;
    }

    void cleanup()
    {
        Mail.reset();
        qunsetenv("AGENTQX_FAULTS");
    }

    void fullReadAfterStartUpThenChanges()
    {
        for (const char* name : {"s1", "s2", "s3"})
            QVERIFY(DropMessage(Box21, name, "text"));
        QVERIFY(DropMessage(Box21, "f1", "fax"));
        QVERIFY(DropMessage(Root + "/nikdo", "n1", "voice"));
        Pbx->Lines[2].Other = 9;  // a full read zeroes lines that have no mailbox
        AgeAll();
        Start();
        QVERIFY(Mail->Active);
        QVERIFY(Mail->FullReadPending);

        QVERIFY(Mail->ReadMailboxChanges());
        QVERIFY(!Mail->FullReadPending);
        QCOMPARE(Line(0), (Counters{3, 0, 1}));
        QCOMPARE(Line(1), (Counters{0, 0, 0}));
        QCOMPARE(Line(2), (Counters{0, 0, 0}));
        QCOMPARE(Mail->KnownMessages.size(), 5);
        QCOMPARE(Log.Lines, QStringList({"Name:Recepce|Tel:21 sms:3,fax:1,hlas:0", "Name:Sklad|Tel:22 sms:0,fax:0,hlas:0",
                                         "Name:Nikdo|Tel:99 sms:0,fax:0,hlas:1"}));

        // Nothing changed: the quick test ends the poll; nothing is read or logged.
        Log.Lines.clear();
        QVERIFY(!Mail->ReadMailboxChanges());
        QVERIFY(Log.Lines.isEmpty());
        QCOMPARE(Mail->KnownMessages.size(), 5);

        // One SMS read by its owner.
        QVERIFY(MarkSeen(Box21, "s2"));
        AgeAll();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{2, 0, 1}));
        QCOMPARE(Log.Lines.first(), QStringLiteral("Name:Recepce|Tel:21 sms:-1,fax:0,hlas:0"));
        QCOMPARE(Mail->KnownMessages.size(), 4);

        // New messages on the other line change only that line.
        QVERIFY(DropMessage(Box22, "v1", "voice"));
        QVERIFY(DropMessage(Box22, "v2", "voice"));
        QVERIFY(DropMessage(Box22, "f1", "fax"));
        AgeAll();
        Log.Lines.clear();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{2, 0, 1}));
        QCOMPARE(Line(1), (Counters{0, 2, 1}));
        QVERIFY(Log.Lines.contains("Name:Sklad|Tel:22 sms:0,fax:1,hlas:2"));

        // The fax is deleted and a voice message seen.
        QVERIFY(QFile::remove(Box22 + "/new/f1"));
        QVERIFY(MarkSeen(Box22, "v1"));
        AgeAll();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(1), (Counters{0, 1, 0}));
        QVERIFY(!Mail->ReadMailboxChanges());
    }

    void extentOffLogsNothing()
    {
        Extent = false;
        QVERIFY(DropMessage(Box21, "s1", "text"));
        Start();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{1, 0, 0}));
        QVERIFY(Log.Lines.isEmpty());
    }

    void removedMessageNeverSeen()
    {
        QVERIFY(DropMessage(Box21, "s1", "text"));
        QVERIFY(DropMessage(Box21, "s2", "text"));
        AgeAll();
        Start();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{2, 0, 0}));
        // The gateway forgets what it saw, then one message goes: an identifier it does
        // not know changes nothing.
        Mail->KnownMessages.clear();
        QVERIFY(QFile::remove(Box21 + "/new/s1"));
        AgeAll();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{2, 0, 0}));
        QVERIFY(Log.Lines.contains("Name:Recepce|Tel:21 sms:0,fax:0,hlas:0"));
    }

    void countersWrapModulo256()
    {
        for (int i = 0; i < 300; ++i)
            QVERIFY(DropMessage(Box21, QStringLiteral("m%1").arg(i, 3, 10, QLatin1Char('0')), "text"));
        Start();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{44, 0, 0}));
        QCOMPARE(Mail->KnownMessages.size(), 300);

        // 45 of them read: incremental -45 on top of 44 wraps to 255.
        for (int i = 0; i < 45; ++i)
            QVERIFY(MarkSeen(Box21, QStringLiteral("m%1").arg(i, 3, 10, QLatin1Char('0'))));
        AgeAll();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{255, 0, 0}));
        QVERIFY(Log.Lines.contains("Name:Recepce|Tel:21 sms:-45,fax:0,hlas:0"));
    }

    void vanishedMaildirIsReadAgain()
    {
        QVERIFY(DropMessage(Box21, "s1", "text"));
        QVERIFY(DropMessage(Box21, "s2", "text"));
        QVERIFY(DropMessage(Box22, "v1", "voice"));
        AgeAll();
        Start();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{2, 0, 0}));

        // The Maildir goes away: the library asks for a full re-read, which fails.
        QVERIFY(QDir().rename(Box21, Box21 + ".away"));
        Log.Lines.clear();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Log.Lines.mid(0, 2), QStringList({"!Err|602 Synchro Error", "!Err|602 Chyba při synchro 2006"}));
        QCOMPARE(Line(0), (Counters{2, 0, 0}));  // that mailbox changes nothing
        QCOMPARE(Line(1), (Counters{0, 1, 0}));  // the others are processed
        QVERIFY(!Mail->FullReadPending);
        QVERIFY(!Mail->ReadMailboxChanges());    // still gone, nothing new

        // It comes back with one more message: re-read in full and set, not added.
        QVERIFY(QDir().rename(Box21 + ".away", Box21));
        QVERIFY(DropMessage(Box21, "s3", "text"));
        QVERIFY(DropMessage(Box21, "h1", "voice"));
        AgeAll();
        Log.Lines.clear();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Log.Lines.first(), QStringLiteral("!Err|602 Synchro Error"));
        QVERIFY(Log.Lines.contains("Name:Recepce|Tel:21 sms:3,fax:0,hlas:1"));
        QCOMPARE(Line(0), (Counters{3, 1, 0}));
        QCOMPARE(Line(1), (Counters{0, 1, 0}));

        // From there on changes are incremental again.
        QVERIFY(MarkSeen(Box21, "s3"));
        AgeAll();
        Log.Lines.clear();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{2, 1, 0}));
        QVERIFY(!Log.Lines.contains("!Err|602 Synchro Error"));
    }

    void synchroErrorWithoutExtent()
    {
        Extent = false;
        AgeAll();
        Start();
        QVERIFY(Mail->ReadMailboxChanges());
        QVERIFY(QDir(Box22).removeRecursively());
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Log.Lines, QStringList({"!Err|602 Chyba při synchro 2006"}));
    }

    void failedListReadRetriesInFull()
    {
        QVERIFY(DropMessage(Box21, "s1", "text"));
        QVERIFY(DropMessage(Box21, "f1", "fax"));
        Start(QStringLiteral("agentqx_faults"));
        QVERIFY(Mail->Active);
        Pbx->Lines[0].Other = 7;

        qputenv("AGENTQX_FAULTS", "read=2100");
        QVERIFY(Mail->ReadMailboxChanges());  // the unchanged counters are still sent
        QCOMPARE(Log.Lines, QStringList({"!Err|602 Chyba NactiZmenyVeSchrankach : 2100"}));
        QCOMPARE(Line(0), (Counters{7, 0, 0}));
        QVERIFY(Mail->FullReadPending);
        QVERIFY(Mail->KnownMessages.isEmpty());

        // The next poll reads everything, without asking the quick test.
        qputenv("AGENTQX_FAULTS", "quick=0");
        Log.Lines.clear();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{1, 0, 1}));
        QVERIFY(!Mail->FullReadPending);

        // An incremental poll that fails: reported, then the following one is full again.
        QVERIFY(DropMessage(Box21, "s2", "text"));
        qputenv("AGENTQX_FAULTS", "read=-5");
        Log.Lines.clear();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Log.Lines, QStringList({"!Err|602 Chyba NactiZmenyVeSchrankach : -5"}));
        QCOMPARE(Line(0), (Counters{1, 0, 1}));
        qunsetenv("AGENTQX_FAULTS");
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{2, 0, 1}));  // nothing lost: the full read counts it
    }

    void awkwardChangeList()
    {
        // Records without groups, a group without entries, fields without their NUL, a
        // re-read that leaves no record: logged and counted, nothing read out of bounds.
        Start(QStringLiteral("agentqx_faults"));
        qputenv("AGENTQX_FAULTS", "badlist");
        Pbx->Lines[1].Fax = 5;
        QVERIFY(Mail->ReadMailboxChanges());
        const QStringList expected = {
            "Name:" + QString(60, 'N') + "|Tel:21 sms:0,fax:0,hlas:0",
            "Name:Awkward|Tel:" + QString(40, '9') + " sms:0,fax:3,hlas:0",
            "!Err|602 Synchro Error",
            "!Err|602 Chyba při synchro 0",
        };
        QCOMPARE(Log.Lines, expected);
        QCOMPARE(Line(0), (Counters{0, 0, 0}));
        QCOMPARE(Line(1), (Counters{0, 0, 0}));  // cleared by the full read, set by nothing
        QCOMPARE(Mail->KnownMessages.size(), 2);

        // The same list as changes: the removed identifier was recorded by the full read,
        // so it is taken off again and the new one added.
        qputenv("AGENTQX_FAULTS", "badlist,quick=1");
        Log.Lines.clear();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Log.Lines.at(1), "Name:Awkward|Tel:" + QString(40, '9') + " sms:0,fax:0,hlas:0");
        QCOMPARE(Mail->KnownMessages.size(), 2);
    }

    void failedReReadKeepsCounters()
    {
        QVERIFY(DropMessage(Box21, "s1", "text"));
        Start(QStringLiteral("agentqx_faults"));
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{1, 0, 0}));
        QVERIFY(QDir().rename(Box21, Box21 + ".away"));
        QVERIFY(Mail->ReadMailboxChanges());
        QVERIFY(QDir().rename(Box21 + ".away", Box21));
        qputenv("AGENTQX_FAULTS", "reread=77");
        Log.Lines.clear();
        QVERIFY(Mail->ReadMailboxChanges());
        QVERIFY(Log.Lines.contains("!Err|602 Chyba při synchro 77"));
        QCOMPARE(Line(0), (Counters{1, 0, 0}));
        // The library keeps asking for the re-read while the Maildir is readable; once
        // it works the counters follow.
        qunsetenv("AGENTQX_FAULTS");
        Log.Lines.clear();
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Log.Lines.first(), QStringLiteral("!Err|602 Synchro Error"));
        QVERIFY(Log.Lines.contains("Name:Recepce|Tel:21 sms:1,fax:0,hlas:0"));
        QVERIFY(DropMessage(Box21, "s2", "text"));
        QVERIFY(Mail->ReadMailboxChanges());
        QCOMPARE(Line(0), (Counters{2, 0, 0}));
    }
};

QTEST_GUILESS_MAIN(TestMail602Sync)
#include "test_mail602_sync.moc"
