#pragma once

#include <QString>

// One scanner reported by a driver's consumables tool.
struct ScannerInfo {
    QString model;      // the tool's line for the scanner, trimmed
    QString deviceName; // SANE device name to open, e.g. "zylkx:<model>"
    QString note;       // not filled by discovery
    QString driverInfo; // driver package name and version, as "name version"
    int family = 0;     // 1 family Kx, 2 family Wy
};
