// Dispatch of the exchange's answers: each frame is matched to the request filed under
// its sequence byte and handed to the handler of that request's kind.
#include "engine/Engine.h"

namespace orvex {

void TAgentEngine::CommPack1RxChar(QObject*, int count)
{
    // A handler may open a modal box that lets the message loop run; receive events that
    // arrive meanwhile wait until this dispatch has returned.
    if (Dispatching) {
        RxPending = true;
        return;
    }
    Dispatching = true;
    do {
        RxPending = false;
        // Every complete frame waiting is delivered, in order; InCom is valid until the next read.
        for (int n = CommPack1.ReadPacket(count); n > 0; n = CommPack1.ReadPacket(0)) {
            const uint8_t* frame = CommPack1.InCom();
            HandleAnswer(frame[0], frame + 1, n - 1);
            if (Destroyed)
                break;
        }
        count = CommPack1.BytesWaiting();
    } while (RxPending && !Destroyed);
    Dispatching = false;
}

void TAgentEngine::HandleAnswer(uint8_t sequence, const uint8_t* data, int length)
{
    if (ExchangeLost) {
        WriteLog(QStringLiteral("-OK-"), QStringLiteral("Obnova komunikace s ústřednou"));
        if (Mail602)
            Mail602->SendStatusMail(2);
        ExchangeLost = false;
    }
    setLinkState(TLinkState::Answering);
    std::unique_ptr<TRequestItem> r = TakePending(sequence);
    if (!r)
        return;
    bool cache = true;
    switch (r->Kind) {
    case 'A':
        PbxData->LineStatus(1, const_cast<uint8_t*>(data), length);
        if (ComIn)
            WriteLog(QStringLiteral("<COM"), QStringLiteral("Stav linek"));
        cache = false;
        break;
    case 'C':
        HandleCompatibility(data, length);
        break;
    case 'I':
        HandleInfo(data, length);
        break;
    case 'M':
        HandleMessagesWritten(data, length);
        break;
    case 'S':
        HandleTrap(data, length);
        break;
    case 'T':
        if (const QString tag = Gateway ? Gateway->SendAnswer(r->Number, data, length) : QString(); !tag.isNull()) {
            const QString text = TData::DescribePacket(false, data, length, r->First, false);
            if (ComIn)
                WriteLog(QStringLiteral("<COM"), text);
            if (TcpIpOut)
                WriteLog(QStringLiteral(">IP:") + tag, text);
        }
        break;
    case 'U':
        HandleUctLine(data, length);
        cache = false;
        break;
    case 'V':
        HandleLineNumbers(data, length);
        break;
    case 'X':
        PbxData->SwitchStatus(1, const_cast<uint8_t*>(data), length);
        WriteLog(QStringLiteral("<COM"), QStringLiteral("Stav spínačů a skupin"));
        cache = false;
        break;
    default:
        break;
    }
    CommState = 0;
    if (MaxCache != 0 && cache && Gateway)
        Gateway->CacheStore(r->Payload, r->Length, length, data);
}

void TAgentEngine::HandleLineNumbers(const uint8_t* data, int length)
{
    const int status = length > 0 ? data[0] : 0;
    if (length > 0 && status == 0 && length != 3) {
        PbxData->LineNumbers(1, const_cast<uint8_t*>(data), length);
        if (ComIn)
            WriteLog(QStringLiteral("<COM"), QStringLiteral("Načtena čísla linek"));
        if (Mail602 && Mail602->IsActive()) {
            EnableTimer(TimerMSG);
            EnableTimer(TimerSMS);
        }
        if (ReadUct)
            EnableTimer(TimerUR);
    } else if (ComIn) {
        WriteLog(QStringLiteral("<COM"), QStringLiteral("Chyba načtení čísel linek:") + QString::number(status));
    }
}

void TAgentEngine::HandleMessagesWritten(const uint8_t* data, int length)
{
    const int status = length > 0 ? data[0] : 0;
    if (status != 0)
        WriteLog(QStringLiteral("<COM"), QStringLiteral("Chyba zápisu zpráv:") + QString::number(status));
    else if (ComPureIn)
        WriteLog(QStringLiteral("<COM"), QStringLiteral("Zápis zpráv"));
}

void TAgentEngine::HandleCompatibility(const uint8_t* data, int length)
{
    const int verdict = PbxData->Compatibility(1, const_cast<uint8_t*>(data), length);
    if (verdict == 128) {
        if (ComIn)
            WriteLog(QStringLiteral("<COM"), QStringLiteral("Compatibility"));
    } else {
        WriteLog(QStringLiteral("<COM"), QStringLiteral("Compatibility Chyba:") + QString::number(verdict));
    }
}

void TAgentEngine::HandleInfo(const uint8_t* data, int length)
{
    const int verdict = PbxData->Info(1, const_cast<uint8_t*>(data), length);
    QString versions;
    if (verdict == 130 || verdict == 131) {
        versions = QStringLiteral("Verze agenta:") + QStringLiteral(ORVEX_VERSION_TEXT) + QStringLiteral("    ")
                   + QStringLiteral("Verze ústředny:") + QString::number(PbxData->InfoData[0], 16).toUpper()
                   + QStringLiteral(".")
                   + QStringLiteral("%1").arg(PbxData->InfoData[1], 2, 16, QLatin1Char('0')).toUpper();
    }
    QString word;
    switch (verdict) {
    case 128:
        word = QStringLiteral(" OK");
        break;
    case 130:
        SetProcessing(false);
        if (PromptSink)
            PromptSink->NonFunctionalVersion(versions + QStringLiteral("\nUkončit ?"), QStringLiteral("Chyba"));
        word = QStringLiteral(" -nefunkční verze !");
        break;
    case 131:
        SetProcessing(false);
        if (PromptSink && PromptSink->DifferentVersion(versions + QStringLiteral("\nPřesto pokračovat ?"),
                                                       QStringLiteral("Upozornění")))
            SetProcessing(true);
        word = QStringLiteral(" -odlišná verze !");
        break;
    default:
        word = QStringLiteral(" Chyba:") + QString::number(verdict);
        break;
    }
    if (ComIn || verdict != 128)
        WriteLog(QStringLiteral("<COM"), QStringLiteral("Informace") + word);
}

}  // namespace orvex
