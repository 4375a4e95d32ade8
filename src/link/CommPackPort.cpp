#include "link/CommPack.h"

namespace orvex {

void TCommPack::Flush()
{
    if (!Port.isOpen())
        return;
    Port.flush();
    // The agent may close the port right after; give the last frame up to a second to leave.
    if (Port.bytesToWrite() > 0)
        Port.waitForBytesWritten(1000);
}

int TCommPack::BytesWaiting() const
{
    return Port.isOpen() ? static_cast<int>(Port.bytesAvailable()) : 0;
}

}  // namespace orvex
