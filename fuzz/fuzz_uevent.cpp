// Kernel uevent datagrams as the USB monitor receives them from the netlink
// socket: any bytes, any length up to the receive buffer.
#include "scanvy/ueventmatch.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;
    const QByteArray message(reinterpret_cast<const char*>(data), int(size));
    const UeventChange change = MatchScannerUevent(message);
    if (change != UeventIgnored && change != UeventAdded && change != UeventRemoved)
        abort();
    // A datagram that is neither an add nor a remove never changes the list.
    if (change == UeventAdded && !message.startsWith("add"))
        abort();
    if (change == UeventRemoved && !message.startsWith("remove"))
        abort();
    return 0;
}
