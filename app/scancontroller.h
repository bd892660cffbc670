#pragma once

#include "optresult.h"
#include "pageplacement.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>

class ParentScannerOptions;
class QTimer;
class SaneScan;

// One scan job on the open scanner: the settings sent before it, the scan
// loop on the job thread, stopping it from the user-interface thread, and
// where each arriving page belongs. The page list and its views stay with
// the window; this class says what to do with a page, the window does it.
class ScanController : public QObject {
    Q_OBJECT
public:
    // Where the job's pages go (the values of PagePlacement; the page list
    // places them).
    enum Placement {
        ToLast = int(PagePlacement::Append),
        ToPrev = int(PagePlacement::Before),
        ToNext = int(PagePlacement::After),
        Replace = int(PagePlacement::Replace),
    };
    // What the window does with an arriving page: drop it, or place it as
    // the job's placement says.
    enum class PageAction { Drop, Place };

    struct Job {
        int type = ToLast;
        QString device;
        // Folder and prefix of the page files.
        QString basePath;
        int minDigits = 4;
        ParentScannerOptions* panel = nullptr;
    };

    ScanController(SaneScan* saneScan, const QHash<QString, Opt_Result>& optionTable,
                   QObject* parent = nullptr);

    // How many pages `device` scans for one job of `type` (0: until the
    // feeder is empty), given what its panel counts.
    static int PagesToScan(int type, const QString& device, int panelCount);
    // The page files' format: TIFF for the modes that need it and for
    // devices outside the families, else JPEG.
    static QString PageFormat(const QString& device, const QString& mode);
    // The problem of the page folder that may have stopped a scan (full or
    // not writable); empty when the folder is fine.
    static QString TempFolderProblem(const QString& folder);

    // A job begins (user-interface thread).
    void Begin(const Job& job);
    // The job's work on the job thread: open, set the panel's options,
    // scan, close.
    void Work();
    // The job has ended: no more cancels, no more manual pass.
    void End();
    // "停止扫描": false when no scan runs or a stop is already on its way.
    bool RequestStop();
    // Stop at once, without the repeated cancel (the program is ending).
    void StopNow();
    // Cancels the scanner's batch while the job's device is open.
    void CancelRunningScan();

    // Sends the panel's scan settings to the open scanner.
    bool SetScanOptions(ParentScannerOptions* panel);
    // One setting onto the open scanner (settings the scanner lacks and
    // those a manual pass leaves out are skipped).
    bool ApplyScanParam(const QString& name, const QString& value);

    // The number of a page file named basePath + number + "." + extension;
    // -1 for any other name.
    static int PageNumber(const QString& file, const QString& basePath);
    // A page file arrived: its number is used; what to do with it.
    PageAction TakePage(const QString& file);

    bool Scanning() const { return m_scanning; }
    bool StopRequested() const { return m_stopRequested; }
    // A stopped scan that ended as a stop does: no error to show.
    bool QuietEnd() const;
    int Status() const { return m_status; }
    QString ErrorDetail() const { return m_errorDetail; }
    int Type() const { return m_job.type; }
    void SetType(int type) { m_job.type = type; }
    // The running job's page files: file-name prefix, minimum digits of the
    // number, extension.
    QString Prefix() const { return m_job.basePath.mid(m_job.basePath.lastIndexOf(QLatin1Char('/')) + 1); }
    int MinDigits() const { return m_job.minDigits; }
    QString Format() const { return m_format; }
    int PagesThisRun() const { return m_pagesThisRun; }
    int FirstNumber() const { return m_firstNumber; }
    int NextNumber() const { return m_nextNumber; }
    void SetNextNumber(int number) { m_nextNumber = number; }
    bool ManualPass() const { return m_manualPass; }
    void SetManualPass(bool on) { m_manualPass = on; }

private:
    SaneScan* m_saneScan;
    const QHash<QString, Opt_Result>& m_optionTable;
    Job m_job;
    bool m_scanning = false;
    bool m_manualPass = false;
    int m_status = 0;
    QString m_errorDetail;
    QString m_format;
    int m_pagesToScan = 0;
    int m_pagesThisRun = 0;
    int m_nextNumber = 1;
    int m_firstNumber = 1;

    // Stopping a scan: the request, the device state the cancel may act on
    // (guarded, so a cancel never meets a device being closed), and the
    // repeat that catches a cancel falling between two pages.
    std::atomic<bool> m_stopRequested{false};
    QMutex m_cancelMutex;
    bool m_deviceOpen = false;
    QTimer* m_cancelRepeat = nullptr;
};
