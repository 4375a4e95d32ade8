// Delivery into a directory, for installations without an SMTP server.
#include "Delivery.h"

#include "agentqx_abi.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace agentqx {

namespace {

bool MakeDirectories(const std::string& dir)
{
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash)))
        return false;
    return ::mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST;
}

}  // namespace

std::int32_t WriteToOutbox(const std::string& dir, const OutgoingMail& mail)
{
    static unsigned serial = 0;
    if (dir.empty() || !MakeDirectories(dir))
        return ErrOutbox;
    std::timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::string name = std::to_string(now.tv_sec) + "." + std::to_string(now.tv_nsec / 1000) + "."
                             + std::to_string(::getpid()) + "_" + std::to_string(++serial) + ".eml";
    const std::string temporary = dir + "/." + name + ".tmp";
    const std::string final = dir + "/" + name;
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f)
        return ErrOutbox;
    const bool written = std::fwrite(mail.Text.data(), 1, mail.Text.size(), f) == mail.Text.size();
    const bool closed = std::fclose(f) == 0;
    // Readers see the file only once it is complete.
    if (!written || !closed || std::rename(temporary.c_str(), final.c_str()) != 0) {
        std::remove(temporary.c_str());
        return ErrOutbox;
    }
    return ResultOk;
}

}  // namespace agentqx
