// One outgoing mail: the recipient made from the address type's pattern, the message
// text, and its delivery into the outbox directory (SMTP: Smtp.h, through the spool).
#pragma once

#include "Config.h"

#include <cstdint>
#include <string>

namespace agentqx {

struct OutgoingMail {
    std::string From;
    std::string Recipient;
    std::string Text;          // the whole message, headers and body, CR LF lines
};

// The recipient for the agent's address and type letter: ErrUndeliverableType when the
// type has no pattern, ErrBadAddress when the result cannot be a mail address.
std::int32_t RecipientFor(const Config& config, char type, const std::string& address, std::string& recipient);

// Subject and body are UTF-8.
OutgoingMail ComposeMail(const Config& config, const std::string& recipient, char type, const std::string& subject,
                         const std::string& body, unsigned char finalByte);

// Writes the mail as one .eml file into dir (created when missing); 0 or ErrOutbox.
std::int32_t WriteToOutbox(const std::string& dir, const OutgoingMail& mail);

}  // namespace agentqx
