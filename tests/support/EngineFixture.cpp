#include "EngineFixture.h"

#include "TestIni.h"

#include "base/Clock.h"
#include "link/FrameCodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

namespace orvex::test {

QByteArray Hex(const char* text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

EngineFixture::EngineFixture(const QStringList& iniKeys, bool openPort)
{
    SetClock([this] { return Clock; });
    QFile f(IniPath());
    f.open(QIODevice::WriteOnly);
    const QString port = openPort ? Line.PortString() : Dir.filePath("no-such-device") + ":19200,N,8,1";
    const QString ini = BuildIni(QStringList{"Set/Port=" + port, "Set/IPPort=0", "Set/ReadUct=0",
                                             "Set/UctFile=" + Dir.filePath("DATA.NEW"), "Timer/Interval=3600000",
                                             "Timer/MaxTick=3", "Timer/MaxError=2", "Timer/MaxErrorTick=5"}
                                 + iniKeys);
    f.write(ini.toUtf8());
    f.close();
    EngineOptions o;
    o.ConfigPath = IniPath();
    o.MailLibraryPath = Dir.filePath("no-mail-library.so");
    Engine = std::make_unique<TAgentEngine>(o, StandardPorts(), &Prompt);
    Engine->FormCreate();
}

EngineFixture::~EngineFixture()
{
    Engine.reset();
    SetClock({});
}

QString EngineFixture::IniPath() const { return Dir.filePath("Agent.ini"); }

QList<QByteArray> EngineFixture::TakeFrames(int quietMs)
{
    const QByteArray raw = Line.ReadAvailable(quietMs, 2000);
    QList<QByteArray> frames;
    FrameReader reader;
    const auto* p = reinterpret_cast<const uint8_t*>(raw.constData());
    size_t left = static_cast<size_t>(raw.size());
    while (left > 0) {
        size_t used = 0;
        const int n = reader.Feed(p, left, &used);
        if (n > 0)
            frames << QByteArray(reinterpret_cast<const char*>(reader.InCom), n);
        p += used;
        left -= used;
    }
    return frames;
}

void EngineFixture::Answer(uint8_t seq, const QByteArray& commandBytes)
{
    uint8_t out[MaxEncodedFrameSize(4096)];
    const size_t n = EncodeFrame(seq, reinterpret_cast<const uint8_t*>(commandBytes.constData()),
                                 static_cast<int>(commandBytes.size()), out);
    int events = 0;
    const auto c = QObject::connect(&Engine->CommPack1, &TCommPack::RxChar, [&events] { ++events; });
    Line.Write(QByteArray(reinterpret_cast<const char*>(out), static_cast<int>(n)));
    // The receive event runs from the event loop once the bytes reach the slave end.
    QElapsedTimer t;
    t.start();
    while ((events == 0 || Engine->CommPack1.BytesWaiting() > 0) && t.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    QObject::disconnect(c);
}

void EngineFixture::Tick(int n)
{
    for (int i = 0; i < n; ++i)
        Engine->TimerTickTimer();
}

QStringList EngineFixture::LogLines() const
{
    QStringList out;
    for (const QString& e : Engine->Log.Entries())
        out << e.mid(e.indexOf("  ") + 2);
    return out;
}

}  // namespace orvex::test
