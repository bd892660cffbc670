#pragma once

#include <QString>

#include <sane/sane.h>

// The resolution a page is taken to have when the device does not say.
constexpr int kDefaultResolution = 200;

// The state of one SaneScan::Scan call: how its page files are named and
// numbered, and what has happened so far.
struct ScanJob {
    ScanJob(const QString& basePath, const QString& extension, int firstNumber, int minDigits, int pageLimit)
        : basePath(basePath), extension(extension), firstNumber(firstNumber), fileCounter(firstNumber),
          minDigits(minDigits), pageLimit(pageLimit)
    {
    }
    ~ScanJob();
    ScanJob(const ScanJob&) = delete;
    ScanJob& operator=(const ScanJob&) = delete;

    // basePath + number (zero-padded to minDigits, never cut) + "." +
    // extension.
    QString PagePath(int number) const;
    // The job's result for the status that ended it: an empty feeder after
    // at least one announced page is success, unless a page was cut off
    // half-way by that status.
    int Result(SANE_Status status) const;

    const QString basePath;
    const QString extension;
    const int firstNumber;
    int fileCounter; // the number the next page tries first
    const int minDigits;
    const int pageLimit;                 // pages to scan; never reached (0 or below) means no limit
    int resolution = kDefaultResolution; // dpi written into the page files' headers
    int pages = 0;                       // page attempts so far
    int announced = 0;                   // pages announced so far
    bool pageCut = false;                // the last page ended half-way
    int folderFd = -1;                   // the page files' folder, open once it is flushed
};
