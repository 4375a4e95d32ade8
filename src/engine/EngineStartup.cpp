// Start-up, configuration and shutdown of the engine, in their fixed order.
#include "engine/Engine.h"

#include "base/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace orvex {

TAgentEngine::TAgentEngine(EngineOptions options, EnginePorts ports, OperatorPrompt* prompt, QObject* parent)
    : QObject(parent), Log(this), CommPack1(this), Opts(std::move(options)), Ports(std::move(ports)), PromptSink(prompt)
{
    if (Opts.ConfigPath.isEmpty())
        Opts.ConfigPath = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Agent.ini"));
    TimerTick.setInterval(100);
    connect(&TimerTick, &QTimer::timeout, this, &TAgentEngine::TimerTickTimer);
    connect(&TimerAN, &QTimer::timeout, this, &TAgentEngine::TimerANTimer);
    connect(&TimerMSG, &QTimer::timeout, this, &TAgentEngine::TimerMSGTimer);
    connect(&TimerSMS, &QTimer::timeout, this, &TAgentEngine::TimerSMSTimer);
    connect(&TimerUR, &QTimer::timeout, this, &TAgentEngine::TimerURTimer);
    connect(&TimerSW, &QTimer::timeout, this, &TAgentEngine::TimerSWTimer);
    connect(&CommPack1, &TCommPack::RxChar, this, &TAgentEngine::CommPack1RxChar);
}

TAgentEngine::~TAgentEngine()
{
    if (Created && !Destroyed)
        FormDestroy();
}

void TAgentEngine::readConfiguration(const IniFile& ini)
{
    const QString set = QStringLiteral("Set"), log = QStringLiteral("Log"), timer = QStringLiteral("Timer");
    ComIn = ini.ReadBool(log, QStringLiteral("Com_In"), true);
    ComPureIn = ini.ReadBool(log, QStringLiteral("Com_PureIn"), true);
    ComOut = ini.ReadBool(log, QStringLiteral("Com_Out"), false);
    ComLocOut = ini.ReadBool(log, QStringLiteral("Com_LocOut"), false);
    TcpIpIn = ini.ReadBool(log, QStringLiteral("TCP/IP_In"), true);
    TcpIpOut = ini.ReadBool(log, QStringLiteral("TCP/IP_Out"), false);
    Extent = ini.ReadBool(log, QStringLiteral("Extent"), false);
    TimerTick.setInterval(ini.ReadInteger(timer, QStringLiteral("Interval"), 100));
    TimerAN.setInterval(ini.ReadInteger(timer, QStringLiteral("ANInterval"), 600));
    ANTimeOut = ini.ReadInteger(timer, QStringLiteral("ANTimeOut"), 10);
    TimerSMS.setInterval(ini.ReadInteger(timer, QStringLiteral("TrapInterval"), 5000));
    TimerMSG.setInterval(ini.ReadInteger(timer, QStringLiteral("MSGInterval"), 11000));
    URInterval = ini.ReadInteger(timer, QStringLiteral("URInterval"), 1000);
    TimerUR.setInterval(URInterval);
    URIntervalBezDat = ini.ReadInteger(timer, QStringLiteral("URIntervalBezDat"), 3000);
    TimerSW.setInterval(ini.ReadInteger(timer, QStringLiteral("SWInterval"), 600));
    SWTimeOut = ini.ReadInteger(timer, QStringLiteral("SWTimeOut"), 10);
    MaxTick = ini.ReadInteger(timer, QStringLiteral("MaxTick"), 9);
    MaxError = ini.ReadInteger(timer, QStringLiteral("MaxError"), 6);
    MaxErrorTick = ini.ReadInteger(timer, QStringLiteral("MaxErrorTick"), 600);
    MaxCache = ini.ReadInteger(set, QStringLiteral("MaxCache"), 110);
    ReadUct = ini.ReadBool(set, QStringLiteral("ReadUct"), true);
    SendUct = ini.ReadBool(set, QStringLiteral("SendUct"), false);
    UctFile = ini.ReadString(set, QStringLiteral("UctFile"), QStringLiteral("DATA.NEW"));
}

void TAgentEngine::FormCreate()
{
    if (Created)
        return;
    Created = true;
    WriteLog(QStringLiteral("----"), QStringLiteral("Start Orvex Agent ----"));

    IniFile ini(Opts.ConfigPath);
    const bool exists = QFileInfo::exists(Opts.ConfigPath);
    ini.Load();
    if (!exists && PromptSink)
        PromptSink->MissingConfig(QStringLiteral("Neexistuje soubor Agent.ini\nProjděte položky v menu Nastavení"),
                                  QStringLiteral("Upozornění"));

    PortSettings = ini.ReadString(QStringLiteral("Set"), QStringLiteral("Port"), QStringLiteral("COM2:19200,N,8,1"));
    IPPort = ini.ReadInteger(QStringLiteral("Set"), QStringLiteral("IPPort"), 1234);

    if (Ports.MakeClientPort)
        Gateway = Ports.MakeClientPort(*this);
    QString socketError;
    if (Gateway && Gateway->Open(IPPort, &socketError)) {
        WriteLog(QStringLiteral("-OK-"), QStringLiteral("Otevření socketu TCP/IP"));
    } else {
        Log.SetStatusText(QStringLiteral("Chyba socketu:") + socketError);
        WriteLog(QStringLiteral("!Err"), QStringLiteral("Chyba otevření socketu TCP/IP"));
    }

    readConfiguration(ini);

    CommPack1.Set(PortSettings);
    QString portError;
    if (CommPack1.Open(&portError))
        WriteLog(QStringLiteral("-OK-"), QStringLiteral("Otevření sériového portu ") + PortSettings);
    else
        WriteLog(QStringLiteral("!Err"), QStringLiteral("Chyba otevření sériového portu ") + PortSettings);
    setLinkState(CommPack1.Connected() ? TLinkState::Waiting : TLinkState::PortClosed);

    SentList = std::make_unique<TSentList>();
    RequestQueue = std::make_unique<TRequestQueue>();
    queueStartRequests();
    UctLines = std::make_unique<QByteArrayList>();
    PbxData = std::make_unique<TData>();
    if (!Gateway || !Gateway->AllocateCache(MaxCache))
        MaxCache = 0;

    if (Ports.MakeMailPort)
        Mail602 = Ports.MakeMailPort(*PbxData, Log, Extent, Opts.MailLibraryPath);
    if (Mail602) {
        Mail602->ReadSettings(ini);
        Mail602->InitCommunication();
    }

    if (Mail602 && Mail602->IsActive())
        WriteLog(QStringLiteral("-OK-"), QStringLiteral("Inicializace Mail602"));
    else
        WriteLog(QStringLiteral("!Err"), QStringLiteral("Chyba při inicializaci Mail602"));

    EnableTimer(TimerTick);
    emit ProcessingChanged(true);
}

void TAgentEngine::queueStartRequests()
{
    QueueRequest('C', 0, nullptr, 0);
    QueueRequest('I', 0, nullptr, 0);
    QueueRequest('V', 0, nullptr, 0);
}

void TAgentEngine::FormClose()
{
    if (Mail602)
        Mail602->StopActions();
    stopTick();
}

void TAgentEngine::FormDestroy()
{
    if (!Created || Destroyed)
        return;
    Destroyed = true;

    if (PbxData) {
        PbxData->ClearLineCounters();
        const int n = PbxData->MessagesRequest(Work);
        SendToPbx(QStringLiteral(">COM"), QStringLiteral("Nulování obsahu schránek"), Work, n);
        CommPack1.Flush();
    }
    stopTick();
    TimerAN.stop();
    TimerSMS.stop();
    TimerMSG.stop();
    TimerSW.stop();
    TimerUR.stop();
    SentList.reset();
    RequestQueue.reset();
    UctLines.reset();
    CommPack1.Close();
    setLinkState(TLinkState::PortClosed);
    Log.Clear();
    if (Gateway)
        Gateway->Close();
    if (Mail602)
        Mail602->DoneCommunication();
    Mail602.reset();
    PbxData.reset();
    Gateway.reset();
}

void TAgentEngine::stopTick()
{
    const bool was = TimerTick.isActive();
    TimerTick.stop();
    if (was)
        emit ProcessingChanged(false);
}

void TAgentEngine::setLinkState(TLinkState state)
{
    if (state == Link)
        return;
    Link = state;
    emit LinkStateChanged(state);
}

void TAgentEngine::SetProcessing(bool running)
{
    if (running == TimerTick.isActive())
        return;
    if (running)
        EnableTimer(TimerTick);
    else
        TimerTick.stop();
    emit ProcessingChanged(running);
}

bool TAgentEngine::ChangePort(const QString& portString)
{
    TimerMSG.stop();
    TimerSMS.stop();
    CommPack1.Close();
    PortSettings = portString;
    CommPack1.Set(PortSettings);
    QString portError;
    if (!CommPack1.Open(&portError)) {
        setLinkState(TLinkState::PortClosed);
        Log.SetStatusText(QStringLiteral("Nevhodný COM"));
        return false;
    }
    setLinkState(TLinkState::Waiting);
    Log.SetStatusText(QString());
    CommState = 0;
    queueStartRequests();
    ErrorCount = 0;
    return true;
}

void TAgentEngine::EnableTimer(QTimer& timer)
{
    if (!timer.isActive() && timer.interval() > 0)
        timer.start();
}

}  // namespace orvex
