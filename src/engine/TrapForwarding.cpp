// TRAPs: messages the exchange wants delivered, handed to the mail gateway and then
// cleared in the exchange.
#include "engine/Engine.h"

#include "base/Cp1250.h"
#include "engine/TrapText.h"

namespace orvex {

void TAgentEngine::HandleTrap(const uint8_t* data, int length)
{
    if (length < 1)
        return;  // no result byte: nothing to read, nothing to confirm
    if (data[0] != 0) {
        WriteLog(QStringLiteral("<COM"), QStringLiteral("Chyba čtení TRAP :") + QString::number(data[0]));
        return;
    }
    const uint8_t record = length > 2 ? data[2] : 0;
    const char letter = length > 3 ? static_cast<char>(data[3]) : 0;
    if (letter == 0) {
        ShowStatus(QStringLiteral("<COM"), QStringLiteral("Žádný TRAP"));
        if (ComPureIn)
            WriteLog(QStringLiteral("<COM"), QStringLiteral("Žádný TRAP"));
        return;
    }
    const QString typeName = TrapTypeName(letter);
    if (!typeName.isEmpty()) {
        const TrapFields f = SplitTrapText(data + 4, length - 4);
        const QString address = FromCp1250(f.Address);
        const QString subject = FromCp1250(f.Subject);
        const QString message = FromCp1250(f.Message);
        if (ComIn)
            WriteLog(QStringLiteral("<COM"), QStringLiteral("TRAP: ") + typeName + QStringLiteral(" to ") + address);
        const bool active = Mail602 && Mail602->IsActive();
        const int result = active ? Mail602->SendMail(address, letter, subject, message, 0x31) : 0;
        if (result != 0) {
            // Not handed on: the record stays in the exchange and is offered again later.
            WriteLog(QStringLiteral("!Err"), QStringLiteral("Mail602 nepřevzal TRAP, chyba ") + QString::number(result)
                                                 + QStringLiteral(": ") + subject + QStringLiteral(" to ") + address);
            return;
        }
        WriteLog(QStringLiteral(">602"), QStringLiteral("Mail: ") + subject + QStringLiteral(" to ") + address);
    }
    const int n = TData::TrapConfirm(Work, record);
    SendToPbx(QStringLiteral(">COM"), QStringLiteral("Potvrzení TRAP ?"), Work, n);
}

}  // namespace orvex
