// The mail agent library on its own, loaded from its built .so: configuration, the change
// lists it builds from real Maildirs, confirmations, and delivery into the outbox.
#include "MailTestSupport.h"
#include "base/Cp1250.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <map>

using namespace mailtest;

namespace {

struct Group {
    char Type = 0;
    int Count = 0;
    QList<QPair<uint32_t, uint32_t>> Entries;  // id, flags
};

struct Box {
    QByteArray Name;
    QByteArray Number;
    int32_t Status = 0;
    QList<Group> Groups;
    const Group* Find(char type) const
    {
        for (const Group& g : Groups)
            if (g.Type == type)
                return &g;
        return nullptr;
    }
};

Box Copy(const agentqx::MailboxRecord* r)
{
    Box box;
    box.Name = QByteArray(r->Name, static_cast<int>(qstrnlen(r->Name, sizeof r->Name)));
    box.Number = QByteArray(r->Number, static_cast<int>(qstrnlen(r->Number, sizeof r->Number)));
    box.Status = r->Status;
    for (const agentqx::MessageGroup* g = r->FirstGroup; g; g = g->Next) {
        Group group;
        group.Type = g->Type;
        group.Count = g->Count;
        for (const agentqx::MessageEntry* e = g->FirstEntry; e; e = e->Next)
            group.Entries.append({e->Id, e->Flags});
        box.Groups.append(group);
    }
    return box;
}

QList<Box> CopyList(const agentqx::MailboxRecord* head)
{
    QList<Box> out;
    for (const agentqx::MailboxRecord* r = head; r; r = r->Next)
        out.append(Copy(r));
    return out;
}

QSet<uint32_t> Ids(const Group* g, uint32_t flags)
{
    QSet<uint32_t> ids;
    if (g)
        for (const auto& [id, f] : g->Entries)
            if (f == flags)
                ids.insert(id);
    return ids;
}

}  // namespace

class TestMailAgent : public QObject {
    Q_OBJECT

private:
    QTemporaryDir Tmp;
    Agentqx Lib;
    QString Config;
    QString Box21;
    QString Box22;

    // Reads a list in the given mode, copies it, and confirms it when asked.
    QList<Box> ReadList(int32_t mode, bool confirm = true)
    {
        agentqx::ReadRequest request{};
        request.Mode = mode;
        agentqx::MailboxRecord* head = nullptr;
        const int32_t rc = Lib.Read(&head, &request);
        if (rc != 0) {
            qWarning("read failed: %d", rc);
            return {};
        }
        QList<Box> boxes = CopyList(head);
        if (confirm) {
            agentqx::MailboxRecord* copy = head;
            if (Lib.ConfirmAll(&copy) != 0)
                qWarning("confirmation failed");
        }
        return boxes;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(Tmp.isValid());
        QVERIFY2(Lib.Load(), qPrintable(Lib.Lib.errorString()));
    }

    void init()
    {
        const QString root = Tmp.filePath(QString::fromLatin1(QTest::currentTestFunction()));
        QDir(root).removeRecursively();
        Box21 = root + "/recepce";
        Box22 = root + "/sklad";
        QVERIFY(MakeMaildir(Box21));
        QVERIFY(MakeMaildir(Box22));
        AgentqxConfig c;
        c.Outbox = root + "/outbox";
        c.Boxes = {{"Recepce", "21", Box21}, {"Sklad", "22", Box22}};
        Config = root + "/agentqx.ini";
        QVERIFY(WriteConfig(Config, c));
    }

    void cleanup() { Lib.Done(); }

    void configurationErrors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("result");
        QTest::newRow("good") << "[mailbox1]\nline=21\nmaildir=m21\n" << 0;
        QTest::newRow("no mailboxes") << "[smtp]\nhost=\n" << 0;
        QTest::newRow("mailbox without maildir") << "[mailbox1]\nline=21\n" << int(agentqx::ErrConfig);
        QTest::newRow("mailbox without line") << "[mailbox1]\nmaildir=m21\n" << int(agentqx::ErrConfig);
        QTest::newRow("bad tls") << "[smtp]\ntls=5\n" << int(agentqx::ErrConfig);
        QTest::newRow("bad port") << "[smtp]\nhost=x\nport=70000\n" << int(agentqx::ErrConfig);
        QTest::newRow("zero retry") << "[spool]\nretry=0\n" << int(agentqx::ErrConfig);
        QTest::newRow("retry not a number") << "[spool]\nretry_max=soon\n" << int(agentqx::ErrConfig);
        QTest::newRow("retry with a decimal point") << "[spool]\nretry=0.5\nretry_max=2.5\n" << 0;
    }

    void configurationErrors()
    {
        QFETCH(QString, text);
        QFETCH(int, result);
        const QString path = Tmp.filePath("config-errors.ini");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toUtf8());
        f.close();
        QCOMPARE(Lib.InitWith(path), result);
    }

    void missingConfigurationFileFailsInit()
    {
        QCOMPARE(Lib.InitWith(Tmp.filePath("nowhere.ini")), agentqx::ErrConfig);
        QCOMPARE(Lib.InitWith(QString()), agentqx::ErrConfig);
        // Not initialised: every call answers with a result.
        agentqx::ReadRequest request{1, {}};
        agentqx::MailboxRecord* head = nullptr;
        QCOMPARE(Lib.Read(&head, &request), agentqx::ErrNotInitialised);
        QCOMPARE(Lib.QuickTest(), 0);
        QCOMPARE(Lib.Send("a@b.c", 'I', "s", "t", 1), agentqx::ErrNotInitialised);
        QCOMPARE(Lib.ConfirmAll(&head), agentqx::ErrNotInitialised);
        QCOMPARE(Lib.Stop(), agentqx::ErrNotInitialised);
    }

    void fullReadListsEveryWaitingMessage()
    {
        for (const char* name : {"s1", "s2", "s3"})
            QVERIFY(DropMessage(Box21, name, "text"));
        QVERIFY(DropMessage(Box21, "f1", "fax"));
        QVERIFY(DropMessage(Box21, "seen", "text"));
        QVERIFY(MarkSeen(Box21, "seen"));
        QVERIFY(DropMessage(Box22, "v1", "voice"));
        QVERIFY(DropMessage(Box22, "v2", "Voice"));
        QVERIFY(DropMessage(Box22, "plain", QString()));  // no type header: a text message
        QVERIFY(MoveToCur(Box22, "v2"));                     // read by the server, not seen
        QCOMPARE(Lib.InitWith(Config), 0);

        const QList<Box> boxes = ReadList(agentqx::ModeAll);
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].Name, QByteArray("Recepce"));
        QCOMPARE(boxes[0].Number, QByteArray("21"));
        QCOMPARE(boxes[0].Status, 0);
        QCOMPARE(boxes[0].Groups.size(), 2);
        const Group* text = boxes[0].Find('T');
        const Group* fax = boxes[0].Find('F');
        QVERIFY(text && fax);
        QCOMPARE(text->Count, 3);
        QCOMPARE(text->Entries.size(), 3);
        QCOMPARE(fax->Count, 1);
        QCOMPARE(Ids(text, 0).size(), 3);

        QCOMPARE(boxes[1].Number, QByteArray("22"));
        QCOMPARE(boxes[1].Find('H')->Count, 2);
        QCOMPARE(boxes[1].Find('T')->Count, 1);
        // Identifiers are distinct over all mailboxes.
        QSet<uint32_t> all = Ids(text, 0) + Ids(fax, 0) + Ids(boxes[1].Find('H'), 0) + Ids(boxes[1].Find('T'), 0);
        QCOMPARE(all.size(), 7);
        QVERIFY(!all.contains(0));
    }

    void changesSinceTheConfirmedRead()
    {
        QVERIFY(DropMessage(Box21, "s1", "text"));
        QVERIFY(DropMessage(Box21, "s2", "text"));
        QVERIFY(DropMessage(Box21, "f1", "fax"));
        QVERIFY(DropMessage(Box22, "t1", "trashme"));
        QCOMPARE(Lib.InitWith(Config), 0);
        AgeMaildir(Box21);
        AgeMaildir(Box22);
        QVERIFY(Lib.QuickTest() != 0);  // never read yet
        const QList<Box> first = ReadList(agentqx::ModeAll);
        const QSet<uint32_t> firstText = Ids(first[0].Find('T'), 0);
        const QSet<uint32_t> firstFax = Ids(first[0].Find('F'), 0);
        QCOMPARE(Lib.QuickTest(), 0);

        QVERIFY(MarkSeen(Box21, "s1"));
        QVERIFY(QFile::remove(Box21 + "/new/f1"));
        QVERIFY(DropMessage(Box21, "s3", "text"));
        QVERIFY(QFile::rename(Box22 + "/new/t1", Box22 + "/cur/t1:2,T"));  // trashed
        QVERIFY(Lib.QuickTest() != 0);

        const QList<Box> changes = ReadList(agentqx::ModeChanges);
        QCOMPARE(changes.size(), 2);
        const Group* text = changes[0].Find('T');
        const Group* fax = changes[0].Find('F');
        QVERIFY(text && fax);
        const QSet<uint32_t> removedText = Ids(text, agentqx::FlagRemoved);
        const QSet<uint32_t> newText = Ids(text, 0);
        QCOMPARE(removedText.size(), 1);
        QVERIFY(firstText.contains(*removedText.begin()));  // the same identifier as before
        QCOMPARE(newText.size(), 1);
        QVERIFY(!firstText.contains(*newText.begin()));
        QCOMPARE(Ids(fax, agentqx::FlagRemoved), firstFax);
        QCOMPARE(changes[1].Groups.size(), 1);
        QCOMPARE(Ids(changes[1].Find('T'), agentqx::FlagRemoved).size(), 1);

        // Confirmed: the next read of changes has nothing left to report.
        const QList<Box> after = ReadList(agentqx::ModeChanges);
        QCOMPARE(after.size(), 2);
        QVERIFY(after[0].Groups.isEmpty());
        QVERIFY(after[1].Groups.isEmpty());
    }

    void messageKeepsItsIdentifierWhileItsFileExists()
    {
        QVERIFY(DropMessage(Box21, "s1", "text"));
        QVERIFY(DropMessage(Box21, "s2", "voice"));
        QCOMPARE(Lib.InitWith(Config), 0);
        const QList<Box> first = ReadList(agentqx::ModeAll);
        const uint32_t id = *Ids(first[0].Find('T'), 0).begin();

        QVERIFY(MarkSeen(Box21, "s1"));
        QCOMPARE(Ids(ReadList(agentqx::ModeChanges)[0].Find('T'), agentqx::FlagRemoved), QSet<uint32_t>{id});
        // Marked unread again: the same message, the same identifier, new again.
        QVERIFY(QFile::rename(Box21 + "/cur/s1:2,S", Box21 + "/cur/s1:2,F"));
        const QList<Box> back = ReadList(agentqx::ModeChanges);
        QCOMPARE(back[0].Groups.size(), 1);
        QCOMPARE(Ids(back[0].Find('T'), 0), QSet<uint32_t>{id});
        // A deleted message is reported under the type it had; its file is gone.
        QVERIFY(QFile::remove(Box21 + "/new/s2"));
        const QList<Box> gone = ReadList(agentqx::ModeChanges);
        QCOMPARE(Ids(gone[0].Find('H'), agentqx::FlagRemoved).size(), 1);
    }

    void unconfirmedChangesAreReportedAgain()
    {
        QVERIFY(DropMessage(Box21, "s1", "text"));
        QCOMPARE(Lib.InitWith(Config), 0);
        ReadList(agentqx::ModeAll);
        QVERIFY(DropMessage(Box21, "s2", "text"));

        const QList<Box> unconfirmed = ReadList(agentqx::ModeChanges, false);
        QCOMPARE(Ids(unconfirmed[0].Find('T'), 0).size(), 1);
        // A read that follows replaces the unconfirmed list and still reports the change.
        const QList<Box> again = ReadList(agentqx::ModeChanges, false);
        QCOMPARE(Ids(again[0].Find('T'), 0), Ids(unconfirmed[0].Find('T'), 0));
        // So does one after ZastavAkci, which drops the unconfirmed list.
        QCOMPARE(Lib.Stop(), 0);
        agentqx::MailboxRecord* stale = nullptr;
        QCOMPARE(Lib.ConfirmAll(&stale), agentqx::ErrNoList);
        const QList<Box> third = ReadList(agentqx::ModeChanges);
        QCOMPARE(Ids(third[0].Find('T'), 0), Ids(unconfirmed[0].Find('T'), 0));
    }

    void confirmationChecksItsArguments()
    {
        QCOMPARE(Lib.InitWith(Config), 0);
        agentqx::ReadRequest request{agentqx::ModeAll, {}};
        agentqx::MailboxRecord* head = nullptr;
        QCOMPARE(Lib.Read(&head, &request), 0);
        QVERIFY(head && head->Next && !head->Next->Next);
        agentqx::MailboxRecord* wrong = head->Next;
        QCOMPARE(Lib.ConfirmAll(&wrong), agentqx::ErrBadArgument);
        QCOMPARE(Lib.ConfirmAll(nullptr), agentqx::ErrBadArgument);
        QCOMPARE(Lib.ConfirmOne(&wrong), agentqx::ErrBadArgument);  // not a record read again
        agentqx::MailboxRecord* copy = head;
        QCOMPARE(Lib.ConfirmAll(&copy), 0);
        QCOMPARE(copy, nullptr);
        QCOMPARE(Lib.ConfirmAll(&head), agentqx::ErrNoList);

        request.Mode = 2;
        QCOMPARE(Lib.Read(&head, &request), agentqx::ErrBadArgument);
        QCOMPARE(Lib.Read(nullptr, &request), agentqx::ErrBadArgument);
        QCOMPARE(Lib.Read(&head, nullptr), agentqx::ErrBadArgument);
    }

    void vanishedMaildirNeedsFullRead()
    {
        QVERIFY(DropMessage(Box21, "s1", "text"));
        QVERIFY(DropMessage(Box21, "s2", "text"));
        QCOMPARE(Lib.InitWith(Config), 0);
        ReadList(agentqx::ModeAll);
        AgeMaildir(Box21);
        AgeMaildir(Box22);
        ReadList(agentqx::ModeChanges);
        QCOMPARE(Lib.QuickTest(), 0);

        const QString away = Box21 + ".away";
        QVERIFY(QDir().rename(Box21, away));
        QVERIFY(Lib.QuickTest() != 0);
        agentqx::ReadRequest request{agentqx::ModeChanges, {}};
        agentqx::MailboxRecord* head = nullptr;
        QCOMPARE(Lib.Read(&head, &request), 0);
        QCOMPARE(head->Status, agentqx::SyncError);
        QCOMPARE(head->FirstGroup, nullptr);
        QCOMPARE(head->Next->Status, 0);
        agentqx::MailboxRecord* record = head;
        request.Mode = agentqx::ModeAll;
        QCOMPARE(Lib.ReadOne(&record, &request, record), agentqx::ErrMaildir);
        QCOMPARE(record, nullptr);
        QCOMPARE(Lib.ConfirmOne(&record), agentqx::ErrBadArgument);
        agentqx::MailboxRecord* copy = head;
        QCOMPARE(Lib.ConfirmAll(&copy), 0);
        // Still gone: nothing new to tell.
        QCOMPARE(Lib.QuickTest(), 0);

        QVERIFY(QDir().rename(away, Box21));
        QVERIFY(DropMessage(Box21, "s3", "text"));
        QVERIFY(Lib.QuickTest() != 0);
        request.Mode = agentqx::ModeChanges;
        QCOMPARE(Lib.Read(&head, &request), 0);
        QCOMPARE(head->Status, agentqx::SyncError);
        record = head;
        request.Mode = agentqx::ModeAll;
        QCOMPARE(Lib.ReadOne(&record, &request, record), 0);
        QVERIFY(record != nullptr && record != head);
        const Box fresh = Copy(record);
        QCOMPARE(fresh.Status, 0);
        QCOMPARE(fresh.Number, QByteArray("21"));
        QCOMPARE(fresh.Find('T')->Count, 3);
        QCOMPARE(Ids(fresh.Find('T'), 0).size(), 3);
        QCOMPARE(Lib.ConfirmOne(&record), 0);
        QCOMPARE(record, nullptr);
        copy = head;
        QCOMPARE(Lib.ConfirmAll(&copy), 0);

        // The re-read state is the confirmed one: only later changes are reported.
        QVERIFY(MarkSeen(Box21, "s3"));
        const QList<Box> changes = ReadList(agentqx::ModeChanges);
        QCOMPARE(changes[0].Status, 0);
        QCOMPARE(changes[0].Groups.size(), 1);
        QCOMPARE(Ids(changes[0].Find('T'), agentqx::FlagRemoved).size(), 1);
        QCOMPARE(changes[0].Find('T')->Entries.size(), 1);
    }

    void manyMessagesKeepTheirCount()
    {
        for (int i = 0; i < 300; ++i)
            QVERIFY(DropMessage(Box22, QStringLiteral("m%1").arg(i), "text"));
        QCOMPARE(Lib.InitWith(Config), 0);
        const QList<Box> boxes = ReadList(agentqx::ModeAll);
        QCOMPARE(boxes[1].Find('T')->Count, 300);
        QCOMPARE(boxes[1].Find('T')->Entries.size(), 300);
    }

    void outboxDelivery_data()
    {
        QTest::addColumn<char>("type");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("recipient");
        QTest::newRow("sms") << 'Q' << "604123456" << "604123456@sms.orvex.test";
        QTest::newRow("internet") << 'I' << "boss@orvex.test" << "boss@orvex.test";
        QTest::newRow("fax") << 'F' << "222333444" << "222333444@fax.orvex.test";
    }

    void outboxDelivery()
    {
        QFETCH(char, type);
        QFETCH(QString, address);
        QFETCH(QString, recipient);
        QCOMPARE(Lib.InitWith(Config), 0);
        const QString subject = QStringLiteral("Chyba komunikace s ústřednou");
        const QString text = QStringLiteral("Žluťoučký kůň\npěl ďábelské ódy");
        const QByteArray a = orvex::ToCp1250(address);
        const QByteArray s = orvex::ToCp1250(subject);
        const QByteArray t = orvex::ToCp1250(text);
        QCOMPARE(Lib.Send(a.constData(), type, s.constData(), t.constData(), 0x31), 0);

        const QString outbox = QFileInfo(Config).dir().filePath("outbox");
        const QStringList files = QDir(outbox).entryList({"*.eml"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        const QString eml = outbox + "/" + files[0];
        QFile f(eml);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray raw = f.readAll();
        QVERIFY(raw.contains("\r\nTo: " + recipient.toUtf8() + "\r\n"));
        QVERIFY(raw.contains("\r\nFrom: agent@orvex.test\r\n"));
        QVERIFY(raw.contains("\r\nX-Agentqx-Type: " + QByteArray(1, type) + "\r\n"));
        QVERIFY(raw.contains("\r\nX-Agentqx-Final: 49\r\n"));
        QCOMPARE(DecodedMail(eml).trimmed(), QString(subject + "\n" + QString(text).replace("\n", "\r\n")));
    }

    void outboxDefaultsToTheWorkingDirectory()
    {
        const QString root = QFileInfo(Config).dir().path();
        const QString config = root + "/no-outbox.ini";
        AgentqxConfig c;
        QVERIFY(WriteConfig(config, c));
        QCOMPARE(Lib.InitWith(config, root + "/work"), 0);
        QCOMPARE(Lib.Send("boss@orvex.test", 'I', "s", "t", 1), 0);
        QCOMPARE(QDir(root + "/work/outbox").entryList({"*.eml"}, QDir::Files).size(), 1);
    }

    void undeliverableMail_data()
    {
        QTest::addColumn<char>("type");
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<int>("result");
        QTest::newRow("type without pattern") << 'Z' << QByteArray("modem") << int(agentqx::ErrUndeliverableType);
        QTest::newRow("no type") << char(0) << QByteArray("boss@orvex.test") << int(agentqx::ErrUndeliverableType);
        QTest::newRow("blank in address") << 'I' << QByteArray("boss @orvex.test") << int(agentqx::ErrBadAddress);
        QTest::newRow("header injection") << 'I' << QByteArray("a@b.c\r\nBcc: x@y.z") << int(agentqx::ErrBadAddress);
        QTest::newRow("no at sign") << 'I' << QByteArray("boss") << int(agentqx::ErrBadAddress);
        QTest::newRow("empty sms number") << 'Q' << QByteArray("") << int(agentqx::ErrBadAddress);
    }

    void undeliverableMail()
    {
        QFETCH(char, type);
        QFETCH(QByteArray, address);
        QFETCH(int, result);
        QCOMPARE(Lib.InitWith(Config), 0);
        QCOMPARE(Lib.Send(address.constData(), type, "s", "t", 1), result);
        QCOMPARE(Lib.Send(address.constData(), type, nullptr, nullptr, 1), result);
        const QString outbox = QFileInfo(Config).dir().filePath("outbox");
        QCOMPARE(QDir(outbox).entryList({"*.eml"}, QDir::Files).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMailAgent)
#include "test_mailagent.moc"
