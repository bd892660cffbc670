#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What the scan-loop benchmark's cases share.
namespace ScanLoopBench {

// A device to scan from, with the same settings for our side and for
// scanimage.
struct Device {
    QString name;
    bool simulator = false; // its feeder is loaded through the scenario file
    int sheets = 0;         // sheets one batch gives
    QList<QPair<QString, QString>> ours;
    QStringList scanimage;
};

// One run of one side.
struct Run {
    double seconds = 0;
    double batchSeconds = 0; // our side: the Scan call alone
    double cpu = 0;
    int files = 0;
    int status = 0;
    int recognised = 0; // pages recognised while the scan ran
};

Device DeviceNamed(const QString& name, int sheets);
// Loads the simulated feeder for the next batch (a new `load` each time).
bool WriteScenario(const Device& device, int load, int delayMs);
// scanimage --batch into `dir`, page files of `format`.
Run RunScanimage(const Device& device, const QString& dir, const QString& format);
int CountFiles(const QString& dir, const QString& format);
void Clear(const QString& dir);
double Median(QList<double> values);

// The real main window scanning `device`'s batch with recognition off and
// on, against scanimage, `rounds` rounds; prints its table. The exit status.
int RunWindowCase(const Device& device, int rounds, int delayMs, const QString& work);

} // namespace ScanLoopBench
