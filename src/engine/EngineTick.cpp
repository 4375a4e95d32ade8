// The request queue and the 100 ms tick that works it one request at a time.
#include "engine/Engine.h"

#include "base/Clock.h"

namespace orvex {

QString RequestCaption(char kind)
{
    switch (kind) {
    case 'A': return QStringLiteral("Čtení Stav linek");
    case 'C': return QStringLiteral("Compatibility");
    case 'I': return QStringLiteral("Informace");
    case 'M': return QStringLiteral("Změny ve schránkách");
    case 'S': return QStringLiteral("Dotaz na TRAP");
    case 'U': return QStringLiteral("Dotaz na účtovací řádek");
    case 'V': return QStringLiteral("Čtení Čísla linek");
    case 'X': return QStringLiteral("Stav spínačů a skupin");
    default: return QString();
    }
}

void TAgentEngine::QueueRequest(char kind, int32_t number, const uint8_t* payload, int length)
{
    if (!RequestQueue)
        return;
    if (kind == 'T') {
        RequestQueue->QueueClient(number, TRequestItem::Make('T', number, payload, length));
        return;
    }
    RequestQueue->QueueOwn(kind);
}

void TAgentEngine::RememberSent(char kind, const uint8_t* data, int length, int32_t number)
{
    if (!SentList)
        return;
    auto item = TRequestItem::Make(kind, number, data, length);
    if (item)
        SentList->Remember(PacketSeq, std::move(item));
}

std::unique_ptr<TRequestItem> TAgentEngine::TakePending(uint8_t sequence)
{
    if (!SentList)
        return nullptr;
    return SentList->Take(sequence);
}

void TAgentEngine::SendToPbx(const QString& prefix, const QString& text, const uint8_t* data, int length)
{
    ShowStatus(prefix, text);
    if (ComLocOut)
        WriteLog(prefix, text);
    if (length != 0 && CommPack1.Connected()) {
        CommPack1.WritePacket(PacketSeq, data, length);
        ++PacketSeq;  // 8-bit: 255 is followed by 0
    }
}

void TAgentEngine::TimerTickTimer()
{
    if (TickBusy)
        return;
    TickBusy = true;
    if (CommPack1.Connected()) {
        switch (CommState) {
        case 0:
            CheckANTimeOut();
            CheckSWTimeOut();
            if (RequestQueue && !RequestQueue->IsEmpty())
                takeFirstRequest();
            break;
        case 1:
            tickWaiting(true);
            break;
        case 2:
            tickUnavailable();
            break;
        case 20:
            tickWaiting(false);
            break;
        default:
            break;
        }
    }
    TickBusy = false;
}

void TAgentEngine::tickWaiting(bool ownRequest)
{
    if (++TickCount < MaxTick)
        return;
    if (!ownRequest) {
        CommState = 0;
        return;
    }
    ++ErrorCount;
    if (ErrorCount < MaxError) {
        CommState = 0;  // given up; its SentList entry stays for a late answer
        return;
    }
    CommState = 2;
    setLinkState(TLinkState::Unavailable);
    if (!ExchangeLost) {
        WriteLog(QStringLiteral("!Err"), QStringLiteral("Ústředna není dostupná"));
        if (Mail602)
            Mail602->SendStatusMail(1);
    }
    TickCount = 0;
}

void TAgentEngine::tickUnavailable()
{
    if (++TickCount < MaxErrorTick)
        return;
    CommState = 0;
    queueStartRequests();
    ErrorCount = 0;
    ExchangeLost = true;
}

void TAgentEngine::sendOwnRequest(char kind, const QString& caption, bool quietWhileErrors)
{
    int n = 0;
    switch (kind) {
    case 'A': n = PbxData->LineStatus(0, Work, 0); break;
    case 'C': n = PbxData->Compatibility(0, Work, 0); break;
    case 'I': n = PbxData->Info(0, Work, 0); break;
    case 'S': n = PbxData->TrapQuery(0, Work, 0); break;
    case 'U': n = PbxData->UctQuery(0, Work, 0); break;
    case 'V': n = PbxData->LineNumbers(0, Work, 0); break;
    case 'X': n = PbxData->SwitchStatus(0, Work, 0); break;
    default: return;
    }
    RememberSent(kind, Work, n, 0);
    if (quietWhileErrors && ErrorCount == 0 && ComLocOut)
        WriteLog(QStringLiteral("<LOC"), caption);
    ShowStatus(QStringLiteral("<LOC"), caption);
    SendToPbx(QStringLiteral(">COM"), caption, Work, n);
    CommState = 1;
    TickCount = 0;
}

void TAgentEngine::sendClientRequest(TRequestItem& item)
{
    RememberSent('T', item.Payload, item.Length, item.Number);
    const QString text = TData::DescribePacket(true, item.Payload, item.Length, item.First, false);
    SendToPbx(QStringLiteral(">COM"), text, item.Payload, item.Length);
    if (ComOut && !ComLocOut)
        WriteLog(QStringLiteral(">COM"), text);
    CommState = 20;
    TickCount = 0;
}

void TAgentEngine::takeFirstRequest()
{
    TRequestQueue::Entry& first = RequestQueue->Front();
    const char kind = first.Key.isEmpty() ? 0 : first.Key.at(0).toLatin1();
    switch (kind) {
    case 'C':
    case 'I':
    case 'V':
        sendOwnRequest(kind, RequestCaption(kind), true);
        break;
    case 'A':
    case 'S':
    case 'U':
    case 'X':
        sendOwnRequest(kind, RequestCaption(kind), false);
        break;
    case 'M':
        ShowStatus(QStringLiteral("<LOC"), QStringLiteral("Čtení schránek"));
        if (Mail602 && Mail602->ReadMailboxChanges()) {
            const int n = PbxData->MessagesRequest(Work);
            if (Extent)
                WriteLog(QStringLiteral("<602"), TData::DescribePacket(true, Work, n, Work[0], Extent));
            else
                WriteLog(QStringLiteral("<602"), QStringLiteral("Změny ve schránkách"));
            RememberSent('M', Work, n, 0);
            SendToPbx(QStringLiteral(">COM"), QStringLiteral("Změny ve schránkách"), Work, n);
            CommState = 1;
            TickCount = 0;
        } else if (Extent) {
            WriteLog(QStringLiteral("<602"), QStringLiteral("Nejsou změny ve schránkách"));
        }
        break;
    case 'T': {
        std::unique_ptr<TRequestItem> item = std::move(first.Item);
        if (item)
            sendClientRequest(*item);
        break;
    }
    default:
        break;  // an unknown kind is dropped unsent
    }
    // The mail library may have let the message loop run; the queue is still ours (TickBusy).
    if (RequestQueue && !RequestQueue->IsEmpty())
        RequestQueue->RemoveFront();
    TickCount = 0;
}

void TAgentEngine::pollTimer(char kind, const QString& text)
{
    if (ComLocOut && TimerTick.isActive())
        WriteLog(QStringLiteral("<LOC"), text);
    QueueRequest(kind, 0, nullptr, 0);
}

void TAgentEngine::TimerANTimer() { pollTimer('A', QStringLiteral("Čtení Stav linek")); }
void TAgentEngine::TimerMSGTimer() { pollTimer('M', QStringLiteral("Čtení schránek")); }
void TAgentEngine::TimerSMSTimer() { pollTimer('S', QStringLiteral("Dotaz na TRAP")); }
void TAgentEngine::TimerURTimer() { pollTimer('U', QStringLiteral("Dotaz na účtovací řádek")); }
void TAgentEngine::TimerSWTimer() { pollTimer('X', QStringLiteral("Stav spínačů a skupin")); }

void TAgentEngine::CheckANTimeOut()
{
    if (Now() - LastANRequest > ANTimeOut * OneSecondInDays)
        TimerAN.stop();
}

void TAgentEngine::CheckSWTimeOut()
{
    if (Now() - LastSWRequest > SWTimeOut * OneSecondInDays)
        TimerSW.stop();
}

}  // namespace orvex
