// Delivery into a directory, for installations without an SMTP server.
#include "Delivery.h"

#include "Files.h"
#include "agentqx_abi.h"

#include <unistd.h>

#include <ctime>

namespace agentqx {

std::int32_t WriteToOutbox(const std::string& dir, const OutgoingMail& mail)
{
    static unsigned serial = 0;
    if (dir.empty() || !MakeDirectories(dir))
        return ErrOutbox;
    std::timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::string name = std::to_string(now.tv_sec) + "." + std::to_string(now.tv_nsec / 1000) + "."
                             + std::to_string(::getpid()) + "_" + std::to_string(++serial) + ".eml";
    // Readers see the file only once it is complete.
    return WriteWholeFile(dir, name, mail.Text) ? ResultOk : ErrOutbox;
}

}  // namespace agentqx
