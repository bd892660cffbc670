#pragma once

#include <QByteArray>

// What a kernel uevent means for the scanner list.
enum UeventChange { UeventIgnored = 0, UeventAdded = 1, UeventRemoved = 2 };

// Classifies one kernel uevent datagram ("<action>@<devpath>" followed by
// NUL-separated KEY=value records). Only add and remove events of a USB
// interface of vendor 0a3d or 0b7e count; the payload is searched as a whole,
// case-sensitively.
UeventChange MatchScannerUevent(QByteArray const& message);
