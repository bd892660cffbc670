#pragma once

#include "scannerinfo.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// Operating-system codes returned by GetOSName().
enum OSCode { OSKylin = 0, OSOther = 1, OSUos = 2, OSNfsDesktop = 3 };

// Maps the standard output of "lsb_release -i" to an OSCode. Only the
// "Distributor ID:\t" label and line feeds are removed before the exact,
// case-insensitive comparison, so unexpected decorations give OSOther.
int OSCodeFromLsbRelease(QByteArray const& output);

// Runs "lsb_release -i" directly (no shell, at most 30 s) and maps its output
// with OSCodeFromLsbRelease. A tool that cannot run gives OSOther.
int GetOSName();

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
