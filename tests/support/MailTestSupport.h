// Shared pieces of the mail tests: a log that keeps its lines, Maildirs on disk, the
// library's configuration file and its spool, the built libraries, a real SMTP server
// (aiosmtpd) on loopback that stores what it receives, and servers that misbehave.
#pragma once

#include "Processes.h"
#include "agentqx_abi.h"
#include "base/LogSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/stat.h>
#include <utime.h>

#include <ctime>

namespace mailtest {

inline QString LibraryFile(const QString& name)
{
    return QStringLiteral(ORVEX_LIB_DIR "/lib") + name + QStringLiteral(".so");
}

class CollectingLog : public orvex::LogSink {
public:
    void WriteLog(const QString& prefix, const QString& text) override { Lines << prefix + QLatin1Char('|') + text; }
    void ShowStatus(const QString& prefix, const QString& text) override { Status = prefix + QLatin1Char('|') + text; }
    int Count(const QString& line) const { return static_cast<int>(Lines.count(line)); }
    QStringList Lines;
    QString Status;
};

// --- Maildirs ---------------------------------------------------------------------

inline bool MakeMaildir(const QString& dir)
{
    return QDir().mkpath(dir + "/new") && QDir().mkpath(dir + "/cur") && QDir().mkpath(dir + "/tmp");
}

// Delivers a message into new/ the way a mail server does: written in tmp/, then moved.
inline bool DropMessage(const QString& maildir, const QString& unique, const QString& type,
                        const QString& subject = QStringLiteral("test"))
{
    QFile f(maildir + "/tmp/" + unique);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = "From: caller@example.com\r\nSubject: " + subject.toUtf8() + "\r\n";
    if (!type.isEmpty())
        text += "X-Message-Type: " + type.toUtf8() + "\r\n";
    text += "\r\nbody\r\n";
    f.write(text);
    f.close();
    return QFile::rename(maildir + "/tmp/" + unique, maildir + "/new/" + unique);
}

// A mail reader opened the message: moved to cur/ with the seen flag.
inline bool MarkSeen(const QString& maildir, const QString& unique)
{
    return QFile::rename(maildir + "/new/" + unique, maildir + "/cur/" + unique + ":2,S");
}

// Moved to cur/ without flags: read by the server but still waiting.
inline bool MoveToCur(const QString& maildir, const QString& unique)
{
    return QFile::rename(maildir + "/new/" + unique, maildir + "/cur/" + unique + ":2,");
}

// Sets the directories' times well into the past, so that the library's quick test sees
// a settled Maildir and any later change moves the time stamps. Each call uses another
// second: ageing hides no change made since the last call.
inline void AgeMaildir(const QString& maildir)
{
    static int calls = 0;
    const std::time_t past = std::time(nullptr) - 100000 + ++calls;
    utimbuf times{past, past};
    for (const char* sub : {"/new", "/cur"})
        ::utime(QFile::encodeName(maildir + sub).constData(), &times);
}

// --- the library's configuration ----------------------------------------------------

struct Mailbox {
    QString Name;
    QString Line;
    QString Maildir;
};

struct AgentqxConfig {
    QString SmtpHost;
    quint16 SmtpPort = 0;
    int Timeout = 5;           // seconds for each delivery attempt
    QString Outbox;
    QString Spool;             // empty: the library's default, "spool" beside the file
    QString Retry = QStringLiteral("0.2");    // short waits between attempts, for tests
    QString RetryMax = QStringLiteral("1");
    QList<Mailbox> Boxes;
    QStringList Types = {QStringLiteral("I=%s"), QStringLiteral("Q=%s@sms.orvex.test"),
                         QStringLiteral("F=%s@fax.orvex.test")};
};

inline bool WriteConfig(const QString& path, const AgentqxConfig& c)
{
    QString text;
    text += "[smtp]\n";
    if (!c.SmtpHost.isEmpty())
        text += "host=" + c.SmtpHost + "\nport=" + QString::number(c.SmtpPort) + "\n";
    text += "from=agent@orvex.test\ntimeout=" + QString::number(c.Timeout) + "\n\n";
    if (!c.Outbox.isEmpty())
        text += "[outbox]\ndir=" + c.Outbox + "\n\n";
    text += "[spool]\n";
    if (!c.Spool.isEmpty())
        text += "dir=" + c.Spool + "\n";
    text += "retry=" + c.Retry + "\nretry_max=" + c.RetryMax + "\n\n";
    text += "[types]\n" + c.Types.join('\n') + "\n\n";
    for (int i = 0; i < c.Boxes.size(); ++i)
        text += QStringLiteral("[mailbox%1]\nname=%2\nline=%3\nmaildir=%4\n\n")
                    .arg(i + 1)
                    .arg(c.Boxes[i].Name, c.Boxes[i].Line, c.Boxes[i].Maildir);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0;
}

// The mails waiting in a spool directory (its final files, oldest first), and those it
// set aside in failed/.
inline QStringList SpoolFiles(const QString& spoolDir)
{
    return QDir(spoolDir).entryList({QStringLiteral("*.mail")}, QDir::Files, QDir::Name);
}

inline QStringList FailedFiles(const QString& spoolDir)
{
    return SpoolFiles(spoolDir + QStringLiteral("/failed"));
}

inline QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// --- the library bound directly -----------------------------------------------------

struct Agentqx {
    QLibrary Lib;
    agentqx::SetDebugLevelFn SetDebugLevel = nullptr;
    agentqx::InicializaceQXKomunikaceFn Init = nullptr;
    agentqx::RychlyTestZmenVeSchrankachFn QuickTest = nullptr;
    agentqx::NactiZmenyVeSchrankachFn Read = nullptr;
    agentqx::NactiZmenyVeSchranceFn ReadOne = nullptr;
    agentqx::PotvrdPreneseniZmenVeSchranceFn ConfirmOne = nullptr;
    agentqx::PotvrdPreneseniZmenVeSchrankachFn ConfirmAll = nullptr;
    agentqx::PosliStavovouZpravuFn Send = nullptr;
    agentqx::DeInicializaceQXKomunikaceFn Done = nullptr;
    agentqx::ZastavAkciFn Stop = nullptr;

    bool Load(const QString& name = QStringLiteral("agentqx"))
    {
        Lib.setFileName(LibraryFile(name));
        if (!Lib.load())
            return false;
        SetDebugLevel = reinterpret_cast<agentqx::SetDebugLevelFn>(Lib.resolve("SetDebugLevel"));
        Init = reinterpret_cast<agentqx::InicializaceQXKomunikaceFn>(Lib.resolve("InicializaceQXKomunikace"));
        QuickTest = reinterpret_cast<agentqx::RychlyTestZmenVeSchrankachFn>(Lib.resolve("RychlyTestZmenVeSchrankach"));
        Read = reinterpret_cast<agentqx::NactiZmenyVeSchrankachFn>(Lib.resolve("NactiZmenyVeSchrankach"));
        ReadOne = reinterpret_cast<agentqx::NactiZmenyVeSchranceFn>(Lib.resolve("NactiZmenyVeSchrance"));
        ConfirmOne = reinterpret_cast<agentqx::PotvrdPreneseniZmenVeSchranceFn>(Lib.resolve("PotvrdPreneseniZmenVeSchrance"));
        ConfirmAll =
            reinterpret_cast<agentqx::PotvrdPreneseniZmenVeSchrankachFn>(Lib.resolve("PotvrdPreneseniZmenVeSchrankach"));
        Send = reinterpret_cast<agentqx::PosliStavovouZpravuFn>(Lib.resolve("PosliStavovouZpravu"));
        Done = reinterpret_cast<agentqx::DeInicializaceQXKomunikaceFn>(Lib.resolve("DeInicializaceQXKomunikace"));
        Stop = reinterpret_cast<agentqx::ZastavAkciFn>(Lib.resolve("ZastavAkci"));
        return SetDebugLevel && Init && QuickTest && Read && ReadOne && ConfirmOne && ConfirmAll && Send && Done && Stop;
    }
    int32_t InitWith(const QString& configPath, const QString& workDir = QString())
    {
        const QByteArray c = QFile::encodeName(configPath);
        const QByteArray w = QFile::encodeName(workDir);
        return Init(c.constData(), "", w.constData(), "");
    }
};

// --- an SMTP server on loopback -----------------------------------------------------

// aiosmtpd with a handler that refuses recipients starting with "refuse" (550), puts off
// those starting with "defer" (451) until a file "accept-deferred" appears in its
// directory, and stores every accepted message as N.eml plus its envelope as N.json in
// the directory given.
inline const char* SmtpServerScript = R"PY(
import asyncio, json, os, socket, sys
from aiosmtpd.controller import Controller

out_dir = sys.argv[1]
count = len([n for n in os.listdir(out_dir) if n.endswith('.eml')])  # a restarted server goes on counting

class Store:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith('refuse'):
            return '550 5.1.1 recipient refused'
        if address.startswith('defer') and not os.path.exists(os.path.join(out_dir, 'accept-deferred')):
            return '451 4.7.1 try again later'
        envelope.rcpt_tos.append(address)
        return '250 OK'

    async def handle_DATA(self, server, session, envelope):
        global count
        count += 1
        base = os.path.join(out_dir, str(count))
        with open(base + '.eml.tmp', 'wb') as f:
            f.write(envelope.original_content or envelope.content)
        with open(base + '.json.tmp', 'w') as f:
            json.dump({'from': envelope.mail_from, 'to': envelope.rcpt_tos}, f)
        os.rename(base + '.eml.tmp', base + '.eml')
        os.rename(base + '.json.tmp', base + '.json')
        return '250 Message accepted'

if len(sys.argv) > 2:
    port = int(sys.argv[2])
else:
    s = socket.socket()
    s.bind(('127.0.0.1', 0))
    port = s.getsockname()[1]
    s.close()
controller = Controller(Store(), hostname='127.0.0.1', port=port)
controller.start()
print('ready', port, flush=True)
sys.stdin.read()
controller.stop()
)PY";

inline QString PythonWithAiosmtpd()
{
    QStringList candidates{QStringLiteral("/usr/bin/python3")};
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!onPath.isEmpty())
        candidates << onPath;
    for (const QString& python : candidates) {
        QProcess probe;
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import aiosmtpd.controller")});
        if (probe.waitForFinished(15000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
            return python;
    }
    return QString();
}

class SmtpServer {
public:
    // port 0: any free port; another port starts the server again where it was.
    bool Start(const QString& storeDir, quint16 port = 0)
    {
        Dir = storeDir;
        const QString python = PythonWithAiosmtpd();
        if (python.isEmpty())
            return false;
        QStringList args{QStringLiteral("-c"), QString::fromUtf8(SmtpServerScript), storeDir};
        if (port != 0)
            args << QString::number(port);
        if (!Proc.Start(python, args))
            return false;
        const int line = Proc.WaitFor(QStringLiteral("ready "), 15000);
        if (line < 0)
            return false;
        Port = static_cast<quint16>(Proc.Lines().at(line).section(QLatin1Char(' '), 1, 1).toUInt());
        return Port != 0;
    }
    bool Stop() { return Proc.Terminate(); }
    // The stored messages (N.eml), in arrival order.
    QStringList Messages() const
    {
        QStringList out;
        for (int n = 1; QFileInfo::exists(Dir + QStringLiteral("/%1.eml").arg(n)); ++n)
            out << Dir + QStringLiteral("/%1.eml").arg(n);
        return out;
    }
    QJsonObject Envelope(int n) const
    {
        QFile f(Dir + QStringLiteral("/%1.json").arg(n));
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
    }
    quint16 Port = 0;
    QString Dir;
    orvex::test::LineProcess Proc;
};

// A server that misbehaves on a loopback port: with an empty greeting it accepts
// connections and never says a word; otherwise it sends the greeting (a refusal such as
// "554 ...") and hangs up. It answers while the test's event loop runs.
class BadSmtpServer : public QObject {
public:
    explicit BadSmtpServer(QByteArray greeting = QByteArray()) : Greeting(std::move(greeting))
    {
        QObject::connect(&Server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = Server.nextPendingConnection()) {
                ++Connections;
                if (!Greeting.isEmpty()) {
                    s->write(Greeting);
                    s->flush();
                    s->disconnectFromHost();
                }
            }
        });
    }
    bool Listen(quint16 port = 0) { return Server.listen(QHostAddress::LocalHost, port); }
    void Close()
    {
        Server.close();
        for (QTcpSocket* s : Server.findChildren<QTcpSocket*>())
            s->abort();
    }
    quint16 Port() const { return Server.serverPort(); }
    int Connections = 0;

private:
    QByteArray Greeting;
    QTcpServer Server;
};

// Decodes a message through Python's email package: "Subject\nbody" as UTF-8 text, so
// the test checks what a mail client would show.
inline QString DecodedMail(const QString& emlPath)
{
    static const char* script = R"PY(
import email, email.policy, sys
with open(sys.argv[1], 'rb') as f:
    m = email.message_from_binary_file(f, policy=email.policy.default)
sys.stdout.buffer.write((str(m['subject']) + '\n' + m.get_content()).encode('utf-8'))
)PY";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), emlPath});
    if (!p.waitForFinished(15000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace mailtest
