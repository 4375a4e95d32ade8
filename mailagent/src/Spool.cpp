#include "Spool.h"

#include "Files.h"
#include "agentqx_abi.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>

namespace agentqx {

namespace {

constexpr std::size_t SequenceDigits = 12;
const std::string Suffix = ".mail";
const std::string Magic = "AGENTQX-SPOOL 1";

bool EndsWith(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// A final spool name: the sequence digits, a dash, ..., ".mail".
bool IsMailName(const std::string& name)
{
    if (name.size() <= SequenceDigits + Suffix.size() || name[SequenceDigits] != '-' || !EndsWith(name, Suffix))
        return false;
    return std::all_of(name.begin(), name.begin() + SequenceDigits,
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::uint64_t SequenceOf(const std::string& name)
{
    return std::stoull(name.substr(0, SequenceDigits));
}

struct Entry {
    std::string Name;
    bool Regular;
};

std::vector<Entry> Entries(const std::string& dir)
{
    std::vector<Entry> entries;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return entries;
    while (const dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        bool regular = e->d_type == DT_REG;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st {};
            regular = ::stat((dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
        }
        entries.push_back({std::move(name), regular});
    }
    ::closedir(d);
    return entries;
}

bool IsRegularFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "PREFIX<value>" from the line; false when the line has another form.
bool Bracketed(const std::string& line, const std::string& prefix, std::string& value)
{
    if (line.size() < prefix.size() + 2 || line.compare(0, prefix.size(), prefix) != 0 || line.back() != '>'
        || line[prefix.size()] != '<')
        return false;
    value = line.substr(prefix.size() + 1, line.size() - prefix.size() - 2);
    return !value.empty();
}

}  // namespace

std::string SpoolText(const OutgoingMail& mail)
{
    return Magic + "\nMAIL FROM:<" + mail.From + ">\nRCPT TO:<" + mail.Recipient + ">\n\n" + mail.Text;
}

bool ParseSpoolText(const std::string& text, OutgoingMail& mail)
{
    std::istringstream in(text);
    std::string magic, from, to, empty;
    if (!std::getline(in, magic) || magic != Magic || !std::getline(in, from) || !std::getline(in, to)
        || !std::getline(in, empty) || !empty.empty())
        return false;
    OutgoingMail parsed;
    if (!Bracketed(from, "MAIL FROM:", parsed.From) || !Bracketed(to, "RCPT TO:", parsed.Recipient))
        return false;
    const auto body = in.tellg();
    if (body < 0 || static_cast<std::size_t>(body) >= text.size())
        return false;
    parsed.Text = text.substr(static_cast<std::size_t>(body));
    mail = std::move(parsed);
    return true;
}

Spool::Spool(std::string dir) : Directory(std::move(dir)) {}

bool Spool::Prepare(std::string& error)
{
    if (Directory.empty() || !MakeDirectories(Directory) || !MakeDirectories(FailedDir())) {
        error = "cannot create spool directory '" + Directory + "'";
        return false;
    }
    if (::access(Directory.c_str(), W_OK | X_OK) != 0) {
        error = "cannot write into spool directory '" + Directory + "'";
        return false;
    }
    // One library instance owns a spool, so any temporary file is a mail whose writing
    // was cut short; it was never accepted.
    for (const Entry& e : Entries(Directory))
        if (e.Regular && IsTemporaryName(e.Name) && EndsWith(e.Name, ".tmp"))
            std::remove((Directory + "/" + e.Name).c_str());
    std::uint64_t highest = 0;
    for (const std::string& dir : {Directory, FailedDir()})
        for (const Entry& e : Entries(dir))
            if (IsMailName(e.Name))
                highest = std::max(highest, SequenceOf(e.Name));
    NextSequence = highest + 1;
    return true;
}

std::int32_t Spool::Add(const OutgoingMail& mail)
{
    char sequence[SequenceDigits + 1];
    std::snprintf(sequence, sizeof sequence, "%0*llu", static_cast<int>(SequenceDigits),
                  static_cast<unsigned long long>(NextSequence));
    const std::string name = std::string(sequence) + "-" + std::to_string(std::time(nullptr)) + "-"
                             + std::to_string(::getpid()) + Suffix;
    const std::string text = SpoolText(mail);
    // A directory removed by hand is made again.
    if (!WriteWholeFile(Directory, name, text)
        && !(MakeDirectories(Directory) && MakeDirectories(FailedDir()) && WriteWholeFile(Directory, name, text)))
        return ErrSpool;
    ++NextSequence;
    return ResultOk;
}

std::vector<std::string> Spool::Waiting() const
{
    std::vector<std::string> names;
    for (Entry& e : Entries(Directory))
        if (e.Regular && IsMailName(e.Name))
            names.push_back(std::move(e.Name));
    std::sort(names.begin(), names.end());
    return names;
}

Spool::LoadResult Spool::Load(const std::string& name, OutgoingMail& mail) const
{
    const std::string path = Directory + "/" + name;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return IsRegularFile(path) ? LoadResult::Damaged : LoadResult::Gone;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad() || !ParseSpoolText(text, mail))
        return LoadResult::Damaged;
    return LoadResult::Loaded;
}

bool Spool::Remove(const std::string& name) const
{
    return std::remove((Directory + "/" + name).c_str()) == 0;
}

bool Spool::SetAside(const std::string& name) const
{
    return std::rename((Directory + "/" + name).c_str(), (FailedDir() + "/" + name).c_str()) == 0;
}

}  // namespace agentqx
