#include "Delivery.h"

#include "Text.h"
#include "agentqx_abi.h"

#include <unistd.h>

#include <ctime>

namespace agentqx {

namespace {

bool UsableAddress(const std::string& address)
{
    const auto at = address.find('@');
    if (at == std::string::npos || at == 0 || at + 1 == address.size())
        return false;
    for (unsigned char c : address)
        if (c <= 0x20 || c == 0x7F || c == '<' || c == '>' || c == '"' || c == ',' || c == ';')
            return false;
    return true;
}

}  // namespace

std::int32_t RecipientFor(const Config& config, char type, const std::string& address, std::string& recipient)
{
    const auto pattern = config.Patterns.find(type);
    if (type == 0 || pattern == config.Patterns.end())
        return ErrUndeliverableType;
    std::string out;
    const std::string& p = pattern->second;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '%' && i + 1 < p.size() && p[i + 1] == 's') {
            out += address;
            ++i;
        } else {
            out.push_back(p[i]);
        }
    }
    if (!UsableAddress(out))
        return ErrBadAddress;
    recipient = out;
    return ResultOk;
}

OutgoingMail ComposeMail(const Config& config, const std::string& recipient, char type, const std::string& subject,
                         const std::string& body, unsigned char finalByte)
{
    static unsigned serial = 0;
    const std::time_t now = std::time(nullptr);
    char host[256] = "localhost";
    ::gethostname(host, sizeof host - 1);
    host[sizeof host - 1] = '\0';

    OutgoingMail mail;
    mail.From = config.Smtp.From;
    mail.Recipient = recipient;
    std::string& t = mail.Text;
    t += "Date: " + MailDate(now) + "\r\n";
    t += "From: " + mail.From + "\r\n";
    t += "To: " + recipient + "\r\n";
    t += "Subject: " + EncodeHeaderText(subject) + "\r\n";
    t += "Message-ID: <" + std::to_string(now) + "." + std::to_string(::getpid()) + "." + std::to_string(++serial)
         + ".agentqx@" + host + ">\r\n";
    t += "MIME-Version: 1.0\r\n";
    t += "Content-Type: text/plain; charset=UTF-8\r\n";
    t += "Content-Transfer-Encoding: base64\r\n";
    t += std::string("X-Agentqx-Type: ") + (type >= 0x21 && type < 0x7F ? type : '?') + "\r\n";
    t += "X-Agentqx-Final: " + std::to_string(finalByte) + "\r\n";
    t += "\r\n";
    t += Base64(WithCrLf(body), 76) + "\r\n";
    return mail;
}

}  // namespace agentqx
