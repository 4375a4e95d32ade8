// The library's own configuration file: SMTP server, delivery address patterns and the
// mailboxes with their Maildir directories.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace agentqx {

struct SmtpConfig {
    std::string Host;          // empty: mails go to the outbox directory
    int Port = 25;
    int Tls = 0;               // 0 plain, 1 STARTTLS required, 2 TLS from the start (smtps)
    bool VerifyPeer = true;
    std::string User;
    std::string Password;
    std::string From = "orvex-agent@localhost";
    long TimeoutSeconds = 10;  // for connecting and for each whole delivery attempt
};

// Mails waiting for the SMTP server, and how often they are tried again.
struct SpoolConfig {
    std::string Dir;              // default: "spool" beside the configuration file
    double RetrySeconds = 1;      // first wait after a failed attempt, doubled after each
    double RetryMaxSeconds = 60;  // the longest wait
};

struct MailboxConfig {
    std::string Name;
    std::string Line;          // the exchange's line number the mailbox belongs to
    std::string Maildir;
};

struct Config {
    SmtpConfig Smtp;
    std::string OutboxDir;
    SpoolConfig Spool;
    std::map<char, std::string> Patterns;  // address type letter -> recipient pattern with %s
    std::vector<MailboxConfig> Mailboxes;
};

// Reads the file at path (UTF-8). Relative directories are taken from the file's own
// directory; a missing outbox directory defaults to <workDir>/outbox. Returns false and
// a reason when the file cannot be read, names a mailbox without line or Maildir, or
// has a bad port, tls or retry value.
bool LoadConfig(const std::string& path, const std::string& workDir, Config& out, std::string& error);

}  // namespace agentqx
