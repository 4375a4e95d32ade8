// The agent engine: start-up and shutdown, the request queue and its tick, the dispatch of
// the exchange's answers, the version check, TRAP forwarding and call accounting.
// It holds no widgets; the window and the headless front end observe its event log.
#pragma once

#include "engine/ClientPort.h"
#include "engine/EventLog.h"
#include "engine/LinkState.h"
#include "engine/MailPort.h"
#include "engine/OperatorPrompt.h"
#include "engine/RequestQueue.h"
#include "link/CommPack.h"
#include "link/Data.h"

#include <QByteArrayList>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace orvex {

class IniFile;
class LogSink;
class TAgentEngine;

// Where the engine finds its configuration and its mail library.
struct EngineOptions {
    QString ConfigPath;         // Agent.ini
    QString MailLibraryPath;    // empty: agentqx beside the executable, then the library path
};

// How the engine makes its TCP gateway (start-up step 4) and its mail gateway (step 12).
// The front ends supply them; a missing one leaves the engine without that gateway.
struct EnginePorts {
    std::function<std::unique_ptr<TClientPort>(TAgentEngine& engine)> MakeClientPort;
    std::function<std::unique_ptr<TMailPort>(TData& pbx, LogSink& log, const bool& extent, const QString& libraryPath)>
        MakeMailPort;
};

class TAgentEngine : public QObject {
    Q_OBJECT
public:
    TAgentEngine(EngineOptions options, EnginePorts ports, OperatorPrompt* prompt = nullptr, QObject* parent = nullptr);
    ~TAgentEngine() override;

    // Start-up and shutdown in their fixed order.
    void FormCreate();
    void FormClose();
    void FormDestroy();
    bool IsCreated() const { return Created; }

    // Request queue and tick.
    void QueueRequest(char kind, int32_t number, const uint8_t* payload, int length);
    void RememberSent(char kind, const uint8_t* data, int length, int32_t number);
    std::unique_ptr<TRequestItem> TakePending(uint8_t sequence);
    void SendToPbx(const QString& prefix, const QString& text, const uint8_t* data, int length);
    void TimerTickTimer();
    void TimerANTimer();
    void TimerMSGTimer();
    void TimerSMSTimer();
    void TimerURTimer();
    void TimerSWTimer();
    void CheckANTimeOut();
    void CheckSWTimeOut();

    // Answer dispatch.
    void CommPack1RxChar(QObject* sender, int count);
    void HandleAnswer(uint8_t sequence, const uint8_t* data, int length);
    void HandleLineNumbers(const uint8_t* data, int length);
    void HandleCompatibility(const uint8_t* data, int length);
    void HandleInfo(const uint8_t* data, int length);
    void HandleTrap(const uint8_t* data, int length);
    void HandleUctLine(const uint8_t* data, int length);
    void HandleMessagesWritten(const uint8_t* data, int length);

    // A new serial port chosen by the operator: close, apply, reopen and reconnect.
    // False (status "Nevhodný COM") when the port cannot be set up or opened.
    bool ChangePort(const QString& portString);
    // Starts a timer that is not running; an interval of 0 or less means it never fires.
    static void EnableTimer(QTimer& timer);
    // Stop and resume from the menu.
    void SetProcessing(bool running);
    bool IsProcessing() const { return TimerTick.isActive(); }
    TLinkState LinkState() const { return Link; }

    void WriteLog(const QString& prefix, const QString& text) { Log.WriteLog(prefix, text); }
    void ShowStatus(const QString& prefix, const QString& text) { Log.ShowStatus(prefix, text); }

    const EngineOptions& Options() const { return Opts; }
    OperatorPrompt* Prompt() const { return PromptSink; }
    void SetPrompt(OperatorPrompt* prompt) { PromptSink = prompt; }

    // Engine state, named after the Agent.ini keys where they have one.
    QString PortSettings;
    int IPPort = 1234;
    bool ComIn = false;
    bool ComOut = false;
    bool TcpIpIn = false;
    bool TcpIpOut = false;
    bool ComLocOut = false;
    bool ComPureIn = false;
    bool Extent = false;
    bool ExchangeLost = false;
    int CommState = 0;
    int TickCount = 0;
    int MaxTick = 9;
    int MaxErrorTick = 600;
    int ErrorCount = 0;
    int MaxError = 6;
    int MaxCache = 0;
    int ANTimeOut = 0;
    int SWTimeOut = 0;
    bool ReadUct = false;
    bool SendUct = false;
    QString UctFile;
    int32_t UctFirst = 0;
    int32_t UctTotal = 0;
    // The last append failed: the next line is the exchange's repeat of the last one held.
    bool UctAwaitingRepeat = false;
    double LastANRequest = 0;
    double LastSWRequest = 0;
    int URInterval = 0;
    int URIntervalBezDat = 0;
    uint8_t PacketSeq = 1;
    bool TickBusy = false;

    EventLog Log;
    TCommPack CommPack1;
    QTimer TimerTick;
    QTimer TimerAN;
    QTimer TimerMSG;
    QTimer TimerSMS;
    QTimer TimerUR;
    QTimer TimerSW;

    std::unique_ptr<TSentList> SentList;
    std::unique_ptr<TRequestQueue> RequestQueue;
    std::unique_ptr<QByteArrayList> UctLines;
    std::unique_ptr<TData> PbxData;
    std::unique_ptr<TMailPort> Mail602;
    std::unique_ptr<TClientPort> Gateway;

    static constexpr int WorkBufferSize = 2048;

signals:
    // The tick was stopped or resumed (menu caption follows it).
    void ProcessingChanged(bool running);
    // The port opened or closed, the exchange answered, or it was declared unavailable.
    void LinkStateChanged(orvex::TLinkState state);

private:
    void readConfiguration(const IniFile& ini);
    void queueStartRequests();
    void sendOwnRequest(char kind, const QString& caption, bool quietWhileErrors);
    void sendClientRequest(TRequestItem& item);
    void takeFirstRequest();
    void tickWaiting(bool ownRequest);
    void tickUnavailable();
    void pollTimer(char kind, const QString& text);
    void stopTick();
    void setLinkState(TLinkState state);

    EngineOptions Opts;
    EnginePorts Ports;
    OperatorPrompt* PromptSink = nullptr;
    bool Created = false;
    bool Destroyed = false;
    bool Dispatching = false;     // an answer is being handled; receive events wait
    bool RxPending = false;
    TLinkState Link = TLinkState::PortClosed;
    uint8_t Work[WorkBufferSize];
};

// The caption of a request kind, shown in the status bar and the log.
QString RequestCaption(char kind);

}  // namespace orvex
