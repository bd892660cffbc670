#pragma once

#include "optresult.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include <sane/sane.h>

class PageFlusher;
class PageRead;
struct ScanJob;

// The one session with the SANE library: device list of the three scanner
// families, one open device at a time, its options as text records, and the
// scan loop that writes one page file per sheet. Every operation answers
// with a SANE status; diagnostics go to standard error.
//
// All SANE calls of the process must come from one thread at a time, except
// CancelScan (and CloseDevice), which may be called while a scan runs.
class SaneScan : public QObject {
    Q_OBJECT
public:
    explicit SaneScan(QObject* parent = nullptr);
    // Leaves the device and the library as they are; the owner closes them.
    ~SaneScan() override;

    void Init();
    void Exit();

    // True for SANE device names of the three scanner families: those that
    // start (case-sensitively) with "zylkx", "zyljn" or "zylwy".
    static bool IsFamilyDeviceName(const char* name);

    int GetDeviceList(QList<QString>& names);
    // The devices SANE reports (local and network) that belong to none of
    // the families, in SANE's order; they are not made openable here.
    // `models`, when given, receives "vendor model" for each listed name.
    int GetOtherDeviceList(QList<QString>& names, QHash<QString, QString>* models = nullptr);
    void ResetScannerList(QList<QString> names);
    int OpenDevice(QString name);
    void CloseDevice();
    void CancelScan();

    QHash<QString, Opt_Result> GetAllOptions();
    // Every named option of the open device in device order, with its group
    // and read-only ones included (GetAllOptions keeps only settable ones).
    QList<Opt_Result> DescribeAllOptions();
    // The SANE_INFO_* bits the device reported for the values set since the
    // last call, and cleared.
    int TakeSetInfo();
    void GetOption(QString name, Opt_Result& record);
    bool SetOption(QString name, QString value);
    int get_resolution();

    // Scans sheets until the device has no more (or pageLimit pages when
    // pageLimit > 0) into basePath + number + "." + format, announcing every
    // page through sglScanOneImageDone, in page order, from the calling
    // thread. A complete page is announced once it is on disk (data, name
    // and folder entry flushed); its flushing overlaps the reading of the
    // next sheet, and Scan returns only when every page has been flushed and
    // announced. Numbers from firstNumber on whose file names are taken are
    // passed over; the announced path tells the number a page got.
    int Scan(QString basePath, QString format, int firstNumber, int minDigits, int pageLimit);

signals:
    void sglScanOneImageDone(QString path);

private:
    // Option access.
    bool SkipOption(const SANE_Option_Descriptor* desc) const;
    int OptionCount();
    Opt_Result DescribeOption(int number, const SANE_Option_Descriptor* desc);
    void SetWordOption(int number, const SANE_Option_Descriptor* desc, const QByteArray& value);
    void SetOptionValue(int number, void* value, const QByteArray& requestedName);

    // Scan loop.
    template <typename Call> bool OnDevice(Call&& call);
    SANE_Status ScanPages(ScanJob& job);
    SANE_Status ScanPage(ScanJob& job);
    void AnnounceSettled();
    SANE_Status inner_scan(PageRead& page, FILE* file);
    SANE_Status PageEnd(const PageRead& page, SANE_Status status) const;
    SANE_Status FirstFrame(PageRead& page, FILE* file, SANE_Parameters& frame);
    SANE_Status NextFrame(PageRead& page, SANE_Parameters& frame);
    SANE_Status ReadFrame(PageRead& page, const SANE_Parameters& frame);

    const SANE_Device** devices = nullptr;
    std::atomic<SANE_Handle> handle{nullptr};
    QList<QString> deviceNames;
    QHash<int, QString> optionIndex;
    QHash<QString, Opt_Result> options;
    // Marks that a device is open. It may be released from a thread other
    // than the one that opened the device, so it is a flag under a mutex.
    QMutex deviceLock;
    bool deviceOpen = false;
    // Held by the scan loop around each of its SANE calls on the device, so
    // that CloseDevice and Exit from another thread never pull the device
    // or the library away under a running call.
    QMutex callLock;
    // CancelScan was called since the device was opened or the last scan
    // ended: the page being read is interrupted and no sheet is started,
    // whatever the device answers to the cancel.
    std::atomic<bool> stopAsked{false};
    int setInfo = 0;
    // The job Scan runs and the flusher of its pages, while it runs (used
    // on the scan loop's thread only).
    ScanJob* runningJob = nullptr;
    PageFlusher* flusher = nullptr;
};
