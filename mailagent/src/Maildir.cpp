#include "Maildir.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace agentqx {

namespace {

DirStamp Stamp(const std::string& dir)
{
    DirStamp stamp;
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        stamp.Present = true;
        stamp.Inode = static_cast<std::uint64_t>(st.st_ino);
        stamp.Modified = st.st_mtim;
    }
    return stamp;
}

bool SameStamp(const DirStamp& a, const DirStamp& b)
{
    return a.Present == b.Present && a.Inode == b.Inode && a.Modified.tv_sec == b.Modified.tv_sec
           && a.Modified.tv_nsec == b.Modified.tv_nsec;
}

bool RecentBefore(const DirStamp& stamp, const std::timespec& now)
{
    if (!stamp.Present)
        return false;
    const long long nowNs = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    const long long thenNs = static_cast<long long>(stamp.Modified.tv_sec) * 1000000000LL + stamp.Modified.tv_nsec;
    return nowNs - thenNs < 1000000000LL;
}

bool Waiting(const std::string& name)
{
    const auto info = name.find(":2,");
    if (info == std::string::npos)
        return true;
    const std::string flags = name.substr(info + 3);
    return flags.find('S') == std::string::npos && flags.find('T') == std::string::npos;
}

bool ListDir(const std::string& dir, std::vector<MaildirFile>& out)
{
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return false;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.')
            continue;
        const std::string path = dir + "/" + name;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        out.push_back({name.substr(0, name.find(":2,")), path, Waiting(name)});
    }
    ::closedir(d);
    return true;
}

}  // namespace

bool MaildirSignature::SameAs(const MaildirSignature& other) const
{
    return Readable == other.Readable && SameStamp(New, other.New) && SameStamp(Cur, other.Cur);
}

bool MaildirSignature::Settled() const
{
    return !RecentBefore(New, TakenAt) && !RecentBefore(Cur, TakenAt);
}

MaildirSignature ReadSignature(const std::string& maildir)
{
    MaildirSignature sig;
    ::clock_gettime(CLOCK_REALTIME, &sig.TakenAt);
    sig.New = Stamp(maildir + "/new");
    sig.Cur = Stamp(maildir + "/cur");
    sig.Readable = sig.New.Present && sig.Cur.Present;
    return sig;
}

bool ListMessages(const std::string& maildir, std::vector<MaildirFile>& out)
{
    out.clear();
    // cur/ first: a message being moved from new/ to cur/ may show up in both, and the
    // copy in cur/ carries the flags.
    if (!ListDir(maildir + "/cur", out) || !ListDir(maildir + "/new", out))
        return false;
    std::stable_sort(out.begin(), out.end(),
                     [](const MaildirFile& a, const MaildirFile& b) { return a.UniqueName < b.UniqueName; });
    out.erase(std::unique(out.begin(), out.end(),
                          [](const MaildirFile& a, const MaildirFile& b) { return a.UniqueName == b.UniqueName; }),
              out.end());
    return true;
}

char MessageType(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return 'T';
    static const char header[] = "x-message-type:";
    const std::size_t headerLength = sizeof(header) - 1;
    char type = 'T';
    char line[1024];
    // Only the header part matters; give up after a reasonable number of lines.
    for (int n = 0; n < 500 && std::fgets(line, sizeof line, f); ++n) {
        std::size_t len = std::strlen(line);
        while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r'))
            line[--len] = '\0';
        if (len == 0)
            break;
        if (len < headerLength)
            continue;
        bool match = true;
        for (std::size_t i = 0; i < headerLength && match; ++i)
            match = std::tolower(static_cast<unsigned char>(line[i])) == header[i];
        if (!match)
            continue;
        std::string value(line + headerLength);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        std::transform(value.begin(), value.end(), value.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (value == "voice")
            type = 'H';
        else if (value == "fax")
            type = 'F';
        break;
    }
    std::fclose(f);
    return type;
}

}  // namespace agentqx
