#include "Config.h"

// Debian's header keeps the template bodies behind SI_IMPLEMENTATION.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace agentqx {

namespace {

std::string Trimmed(const char* text)
{
    std::string s = text ? text : "";
    const auto notBlank = [](unsigned char c) { return !std::isspace(c); };
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), notBlank));
    s.erase(std::find_if(s.rbegin(), s.rend(), notBlank).base(), s.end());
    return s;
}

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, std::max<std::size_t>(slash, 1));
}

std::string Resolved(const std::string& base, const std::string& path)
{
    if (path.empty() || path.front() == '/')
        return path;
    return base + "/" + path;
}

bool ParseLong(const std::string& text, long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (!end || *end != '\0')
        return false;
    value = v;
    return true;
}

// "mailbox12" -> 12; anything else -> -1.
long MailboxIndex(const char* section)
{
    static const char prefix[] = "mailbox";
    const std::size_t n = sizeof(prefix) - 1;
    std::string name = section ? section : "";
    if (name.size() <= n)
        return -1;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != prefix[i])
            return -1;
    long index = -1;
    return ParseLong(name.substr(n), index) && index >= 0 ? index : -1;
}

// A positive number of seconds with a decimal point whatever the process locale; a
// missing key keeps value.
bool ParseSeconds(const std::string& text, double& value)
{
    if (text.empty())
        return true;
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !(v > 0) || v > 86400)
        return false;
    value = v;
    return true;
}

}  // namespace

bool LoadConfig(const std::string& path, const std::string& workDir, Config& out, std::string& error)
{
    CSimpleIniA ini(true, false, false);
    if (path.empty() || ini.LoadFile(path.c_str()) != SI_OK) {
        error = "cannot read configuration file '" + path + "'";
        return false;
    }
    const std::string base = DirectoryOf(path);
    Config config;

    SmtpConfig& smtp = config.Smtp;
    smtp.Host = Trimmed(ini.GetValue("smtp", "host", ""));
    long number = 0;
    if (ParseLong(Trimmed(ini.GetValue("smtp", "tls", "0")), number)) {
        if (number < 0 || number > 2) {
            error = "[smtp] tls must be 0, 1 or 2";
            return false;
        }
        smtp.Tls = static_cast<int>(number);
    }
    smtp.Port = smtp.Tls == 2 ? 465 : 25;
    if (ParseLong(Trimmed(ini.GetValue("smtp", "port", "")), number)) {
        if (number <= 0 || number > 65535) {
            error = "[smtp] port out of range";
            return false;
        }
        smtp.Port = static_cast<int>(number);
    }
    if (ParseLong(Trimmed(ini.GetValue("smtp", "verify", "1")), number))
        smtp.VerifyPeer = number != 0;
    if (ParseLong(Trimmed(ini.GetValue("smtp", "timeout", "")), number) && number > 0)
        smtp.TimeoutSeconds = number;
    smtp.User = Trimmed(ini.GetValue("smtp", "user", ""));
    smtp.Password = ini.GetValue("smtp", "password", "");
    const std::string from = Trimmed(ini.GetValue("smtp", "from", ""));
    if (!from.empty())
        smtp.From = from;

    const std::string outbox = Trimmed(ini.GetValue("outbox", "dir", ""));
    if (!outbox.empty())
        config.OutboxDir = Resolved(base, outbox);
    else if (!workDir.empty())
        config.OutboxDir = workDir + "/outbox";

    SpoolConfig& spool = config.Spool;
    const std::string spoolDir = Trimmed(ini.GetValue("spool", "dir", ""));
    spool.Dir = Resolved(base, spoolDir.empty() ? std::string("spool") : spoolDir);
    if (!ParseSeconds(Trimmed(ini.GetValue("spool", "retry", "")), spool.RetrySeconds)
        || !ParseSeconds(Trimmed(ini.GetValue("spool", "retry_max", "")), spool.RetryMaxSeconds)) {
        error = "[spool] retry and retry_max must be seconds above 0";
        return false;
    }
    spool.RetryMaxSeconds = std::max(spool.RetryMaxSeconds, spool.RetrySeconds);

    CSimpleIniA::TNamesDepend keys;
    ini.GetAllKeys("types", keys);
    for (const auto& key : keys) {
        const std::string letter = Trimmed(key.pItem);
        const std::string pattern = Trimmed(ini.GetValue("types", key.pItem, ""));
        if (letter.size() == 1 && !pattern.empty())
            config.Patterns[letter[0]] = pattern;
    }

    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    std::vector<std::pair<long, const char*>> boxes;
    for (const auto& section : sections) {
        const long index = MailboxIndex(section.pItem);
        if (index >= 0)
            boxes.emplace_back(index, section.pItem);
    }
    std::sort(boxes.begin(), boxes.end());
    for (const auto& [index, section] : boxes) {
        MailboxConfig box;
        box.Name = Trimmed(ini.GetValue(section, "name", section));
        box.Line = Trimmed(ini.GetValue(section, "line", ""));
        box.Maildir = Resolved(base, Trimmed(ini.GetValue(section, "maildir", "")));
        if (box.Line.empty() || box.Maildir.empty()) {
            error = std::string("[") + section + "] needs line and maildir";
            return false;
        }
        config.Mailboxes.push_back(std::move(box));
    }

    out = std::move(config);
    return true;
}

}  // namespace agentqx
