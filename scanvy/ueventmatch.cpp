#include "ueventmatch.h"

namespace {

bool ContainsAll(QByteArray const& message, char const* product, char const* modalias)
{
    return message.contains(product) && message.contains("DEVTYPE=usb_interface") &&
           message.contains(modalias);
}

} // namespace

UeventChange MatchScannerUevent(QByteArray const& message)
{
    // PRODUCT carries the vendor id in lower-case hex without leading zeros,
    // MODALIAS in upper-case hex with them.
    const bool scanner = ContainsAll(message, "PRODUCT=a3d", "usb:v0A3Dp") ||
                         ContainsAll(message, "PRODUCT=b7e", "usb:v0B7Ep");
    if (!scanner)
        return UeventIgnored;
    if (message.startsWith("add"))
        return UeventAdded;
    if (message.startsWith("remove"))
        return UeventRemoved;
    return UeventIgnored;
}
