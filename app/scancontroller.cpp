// A scan job: settings, the scan loop on the job thread, stopping, and the
// placement of the arriving pages.
#include "scancontroller.h"

#include "pagefile.h"
#include "parentscanneroptions.h"
#include "saneoptions.h"
#include "sanescan.h"

#include <QFile>
#include <QMutexLocker>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <sane/sane.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {
bool IsTiffMode(const QString& mode)
{
    return mode == SaneValue::kLineart || mode == SaneValue::kAutoColorDetect ||
           mode == SaneValue::kMultiImageOutput;
}

bool IsFeederSource(const QString& source)
{
    return source != SaneValue::kFlatbed && source != SaneValue::kSimplexScan;
}

bool IsFamily(const QString& device)
{
    return SaneScan::IsFamilyDeviceName(device.toUtf8().constData());
}
} // namespace

ScanController::ScanController(SaneScan* saneScan, const QHash<QString, Opt_Result>& optionTable,
                               QObject* parent)
    : QObject(parent), m_saneScan(saneScan), m_optionTable(optionTable)
{
    // A cancel that falls between two pages does not stop the scanner's
    // batch; it is repeated until the job has ended.
    m_cancelRepeat = new QTimer(this);
    m_cancelRepeat->setInterval(150);
    connect(m_cancelRepeat, &QTimer::timeout, this, [this] {
        if (m_scanning && m_stopRequested) {
            CancelRunningScan();
        } else {
            m_cancelRepeat->stop();
        }
    });
}

int ScanController::PagesToScan(int type, const QString& device, int panelCount)
{
    // A replacement takes the one page it replaces. The overhead scanner
    // takes what its panel counts (one page: it would go on scanning in its
    // delayed mode). A sheet feeder runs until it is empty: its panel counts
    // the images of one sheet, not a batch (see docs/decisions.md).
    // Any other device: its panel says (a feeder until empty, else one page).
    if (type == Replace) {
        return 1;
    }
    return device.startsWith(QLatin1String("zyljn:RV920")) || !IsFamily(device) ? panelCount : 0;
}

QString ScanController::PageFormat(const QString& device, const QString& mode)
{
    // Pages of devices outside the families keep every sample (any depth,
    // nothing lost to compression).
    return !IsFamily(device) || IsTiffMode(mode) ? QStringLiteral("tiff") : QStringLiteral("jpg");
}

void ScanController::Begin(const Job& job)
{
    m_job = job;
    m_scanning = true;
    m_status = SANE_STATUS_GOOD;
    m_errorDetail.clear();
    m_pagesThisRun = 0;
    m_pagesToScan = PagesToScan(job.type, job.device, job.panel ? job.panel->GetTotalScanCount() : 0);
    m_stopRequested = false;
    m_firstNumber = m_nextNumber;
    // Known before the job thread starts, so that the journal can name the
    // job's page files from its first record on.
    m_format = PageFormat(job.device, job.panel ? job.panel->GetMode() : QString());
}

void ScanController::Work()
{
    ParentScannerOptions* panel = m_job.panel;
    m_status = m_saneScan->OpenDevice(m_job.device);
    if (m_status == SANE_STATUS_GOOD) {
        {
            QMutexLocker locker(&m_cancelMutex);
            m_deviceOpen = true;
        }
        // A stop that came before the scanner started needs no cancel.
        if (m_stopRequested) {
            m_status = SANE_STATUS_CANCELLED;
        } else if (!SetScanOptions(panel)) {
            m_status = SANE_STATUS_INVAL;
        } else if (m_stopRequested) {
            m_status = SANE_STATUS_CANCELLED;
        } else {
            m_status =
                m_saneScan->Scan(m_job.basePath, m_format, m_nextNumber, m_job.minDigits, m_pagesToScan);
            if (m_status == SANE_STATUS_JAMMED) {
                Opt_Result detail;
                m_saneScan->GetOption(QString(SaneOption::kScannerError), detail);
                m_errorDetail = detail.value;
            }
        }
    }
    QMutexLocker locker(&m_cancelMutex);
    m_deviceOpen = false;
    m_saneScan->CloseDevice();
}

void ScanController::End()
{
    m_cancelRepeat->stop();
    m_manualPass = false;
    m_scanning = false;
}

bool ScanController::RequestStop()
{
    if (!m_scanning || m_stopRequested) {
        return false;
    }
    m_stopRequested = true;
    CancelRunningScan();
    m_cancelRepeat->start();
    return true;
}

void ScanController::StopNow()
{
    if (m_scanning) {
        m_stopRequested = true;
        CancelRunningScan();
    }
}

void ScanController::CancelRunningScan()
{
    // Only while the job's device is open: a cancel must never meet a handle
    // that the job thread is closing.
    QMutexLocker locker(&m_cancelMutex);
    if (m_deviceOpen) {
        m_saneScan->CancelScan();
    }
}

bool ScanController::QuietEnd() const
{
    return m_stopRequested && (m_status == SANE_STATUS_CANCELLED || m_status == SANE_STATUS_NO_DOCS);
}

int ScanController::PageNumber(const QString& file, const QString& basePath)
{
    // basePath + number + "." + extension
    if (!file.startsWith(basePath)) {
        return -1;
    }
    const QString rest = file.mid(basePath.size());
    bool ok = false;
    const int number = rest.left(rest.lastIndexOf(QLatin1Char('.'))).toInt(&ok);
    return ok && number >= 0 ? number : -1;
}

ScanController::PageAction ScanController::TakePage(const QString& file)
{
    // The scan loop passes over numbers whose names are taken; the next job
    // goes on after the number this page got.
    m_nextNumber = qMax(m_nextNumber, PageNumber(file, m_job.basePath)) + 1;
    // A page cut off by the user's stop is dropped. A replacement that did
    // not complete leaves the page it was to replace in place.
    if (!IsPageComplete(file) && (m_stopRequested || m_job.type == Replace)) {
        QFile::remove(PartialPagePath(file));
        return PageAction::Drop;
    }
    m_pagesThisRun += 1;
    return PageAction::Place;
}

bool ScanController::SetScanOptions(ParentScannerOptions* panel)
{
    if (!panel) {
        return false;
    }
    panel->GetParamsForScan();
    const QVector<QPair<QString, QString>> params = panel->m_scanParams;
    for (const auto& param : params) {
        if (!ApplyScanParam(param.first, param.second)) {
            return false;
        }
    }
    if (IsFeederSource(panel->GetSource()) && m_job.type == Replace) {
        if (!m_saneScan->SetOption(SaneOption::kAutofeed, SaneValue::kNo) ||
            !m_saneScan->SetOption(SaneOption::kPrepick, SaneValue::kNo)) {
            return false;
        }
    }
    return true;
}

bool ScanController::ApplyScanParam(const QString& name, const QString& value)
{
    if (name == QLatin1String("custom-longpage")) {
        return true;
    }
    if (m_manualPass) {
        // "手动通过": the next sheets go through without multifeed detection.
        if (name == QLatin1String("multifeed-detection")) {
            return m_saneScan->SetOption(name, QStringLiteral("Do-not-detect"));
        }
        if (name == QLatin1String("mf-overlapping") || name == QLatin1String("mf-length")) {
            return true;
        }
    }
    if (!m_optionTable.contains(name)) {
        return true;
    }
    return m_saneScan->SetOption(name, value);
}

QString ScanController::TempFolderProblem(const QString& folder)
{
    // Page files go to the scan folder of the private temporary folder; tell
    // the user when that folder is what stopped the scan.
    const QString full = tr("临时文件夹空间已满：%1").arg(folder);
    const QString unwritable = tr("临时文件夹无法写入：%1").arg(folder);
    QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.space-probe-XXXXXX"));
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        return errno == ENOSPC || errno == EDQUOT ? full : unwritable;
    }
    // Room for a file name is not room for a page.
    const QByteArray block(64 * 1024, '\0');
    const ssize_t written = ::write(fd, block.constData(), size_t(block.size()));
    const int writeError = errno;
    ::close(fd);
    ::unlink(probe.constData());
    if (written != block.size()) {
        return writeError == ENOSPC || writeError == EDQUOT ? full : unwritable;
    }
    struct statvfs space {};
    const qint64 kNearlyFull = 16 * 1024 * 1024;
    if (::statvfs(QFile::encodeName(folder).constData(), &space) == 0 &&
        qint64(space.f_bavail) * qint64(space.f_frsize) < kNearlyFull) {
        return full;
    }
    return QString();
}
