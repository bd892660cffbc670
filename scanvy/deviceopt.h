#pragma once

#include "osname.h"
#include "scannerinfo.h"

#include <QList>
#include <QString>

#include <functional>

// Finds the maker's scanners with system tools: the USB bus listing, the
// package manager and the drivers' consumables tools. Holds no state besides
// the two probes it runs, which tests may replace.
class DeviceOpt {
public:
    // Runs a shell command line and returns its trimmed standard output.
    using ShellRunner = std::function<QString(QString const&)>;
    // Returns the OSCode of the running system.
    using OSProbe = std::function<int()>;

    DeviceOpt();
    DeviceOpt(ShellRunner runner, OSProbe osProbe);

    // True when a USB device of vendor 0a3d or 0b7e is attached; isOverhead
    // tells whether one of them is the overhead scanner (product 2f4c).
    bool HasScanners(bool& isOverhead) const;

    // Lists the scanners seen by the installed drivers, family Kx first.
    void LoadScanner(QList<ScannerInfo>& scanners) const;

private:
    struct Family;

    // True when the family's driver package is installed; driverInfo gets
    // the first query's "name version" text.
    bool QueryDriver(Family const& family, QString& driverInfo) const;
    void ListFamily(Family const& family, QString const& driverInfo, QList<ScannerInfo>& scanners) const;

    ShellRunner m_run;
    OSProbe m_osName;
};
