// One delivery attempt through an SMTP server with libcurl, and what the server's answer
// means for the mail.
#pragma once

#include "Config.h"
#include "Delivery.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace agentqx {

enum class SmtpOutcome {
    Accepted,       // the server took the mail
    Refused,        // a 5xx reply within the mail's transaction: it will never be taken
    Deferred,       // a 4xx reply within the mail's transaction: this mail, later
    ServerTrouble,  // no connection, no answer in time, or a refusal of the session itself
    Stopped,        // cut short because the delivery thread is stopping
};

struct SmtpResult {
    SmtpOutcome Outcome = SmtpOutcome::ServerTrouble;
    std::int32_t Code = 0;      // ErrSmtpBase + libcurl's code; 0 when accepted
    int Reply = 0;              // the server's last reply code, 0 when none came
    std::string ReplyText;      // that reply line
};

// Runs the transfer on multi (the delivery thread's own handle). stop is looked at
// between the steps of the transfer; whoever sets it wakes multi with curl_multi_wakeup,
// so a transfer to a server that never answers ends at once.
SmtpResult SendThroughSmtp(const SmtpConfig& smtp, const OutgoingMail& mail, CURLM* multi,
                           const std::atomic<bool>& stop);

const char* OutcomeName(SmtpOutcome outcome);

}  // namespace agentqx
