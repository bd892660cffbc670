// The scan loop of SaneScan: one sane_start per sheet, one page file per
// page, written under a ".part" name and renamed when complete.
#include "sanescan.h"

#include "pageread.h"
#include "pagewriter.h"
#include "scanjob.h"
#include "scannerlog.h"

#include <QFile>
#include <QMutexLocker>

#include <cstdio>

namespace {

constexpr int kMaxPathBytes = 4095;

// A complete page gets its final name.
SANE_Status CloseAndRename(FILE* file, const QByteArray& part, const QByteArray& final)
{
    if (std::fclose(file) != 0 || std::rename(part.constData(), final.constData()) != 0)
        return SANE_STATUS_ACCESS_DENIED;
    return SANE_STATUS_GOOD;
}

} // namespace

int SaneScan::Scan(QString basePath, QString format, int firstNumber, int minDigits, int pageLimit)
{
    ScanJob job(basePath, format, firstNumber, minDigits, pageLimit);
    return job.Result(ScanPages(job));
}

// Runs one SANE call of the scan loop on the open device, serialised with
// CloseDevice and Exit on other threads. False, without calling, once the
// device has been closed.
template <typename Call> bool SaneScan::OnDevice(Call&& call)
{
    QMutexLocker calls(&callLock);
    const SANE_Handle h = handle;
    if (h == nullptr)
        return false;
    call(h);
    return true;
}

SANE_Status SaneScan::ScanPages(ScanJob& job)
{
    if (handle == nullptr)
        return SANE_STATUS_INVAL;
    OnDevice([&](SANE_Handle) { job.resolution = get_resolution(); });

    SANE_Status status = SANE_STATUS_GOOD;
    do {
        if (!OnDevice([&](SANE_Handle h) { status = sane_start(h); }))
            status = SANE_STATUS_INVAL; // closed between two sheets
        if (status == SANE_STATUS_GOOD)
            status = ScanPage(job);
    } while (status == SANE_STATUS_GOOD && job.pages != job.pageLimit);

    // The next job starts from a stopped device.
    OnDevice([](SANE_Handle h) { sane_cancel(h); });
    return status;
}

// One started sheet: its ".part" file, the reading, the final name and the
// announcement. Every page attempt is announced by its final name, also one
// that failed half-way; only a page that never began is dropped.
SANE_Status SaneScan::ScanPage(ScanJob& job)
{
    const QString path = job.PagePath();
    const QByteArray local = QFile::encodeName(path);
    if (local.size() > kMaxPathBytes) {
        std::fprintf(stderr, "%s: page file name too long\n", kProgramName);
        return SANE_STATUS_ACCESS_DENIED;
    }
    const QByteArray part = local + ".part";
    PageRead page(PageWriter::FormatForPath(path), job.resolution);
    if (!page.AllocateBuffer())
        return SANE_STATUS_NO_MEM;
    FILE* file = std::fopen(part.constData(), "wb");
    if (file == nullptr)
        return SANE_STATUS_ACCESS_DENIED;

    SANE_Status status = inner_scan(page, file);
    if (status == SANE_STATUS_GOOD) {
        status = CloseAndRename(file, part, local);
    } else {
        std::fclose(file); // an interrupted page keeps its ".part"
        job.pageCut = true;
    }
    ++job.pages;
    if (status == SANE_STATUS_INVAL) {
        std::remove(part.constData());
        return status;
    }
    ++job.fileCounter;
    emit sglScanOneImageDone(QFile::decodeName(local));
    return status;
}

// Reads one page (one frame, or three separate colour frames) into `file`.
// SANE_STATUS_GOOD when the page is complete and written; otherwise the
// status that interrupted it (SANE_STATUS_INVAL when there is no page).
SANE_Status SaneScan::inner_scan(PageRead& page, FILE* file)
{
    SANE_Parameters frame{};
    SANE_Status status = FirstFrame(page, file, frame);
    while (status == SANE_STATUS_GOOD) {
        status = ReadFrame(page, frame);
        if (status != SANE_STATUS_EOF || frame.last_frame || page.OverRun())
            break;
        status = NextFrame(page, frame);
    }
    // Frames that ended as the device said, or that ran over and were cut
    // at the announced size, make a page; a short page is completed white.
    return status == SANE_STATUS_EOF ? page.Finish() : status;
}

SANE_Status SaneScan::FirstFrame(PageRead& page, FILE* file, SANE_Parameters& frame)
{
    SANE_Status status = SANE_STATUS_GOOD;
    if (!OnDevice([&](SANE_Handle h) { status = sane_get_parameters(h, &frame); }))
        return SANE_STATUS_INVAL; // closed before the page began
    if (status == SANE_STATUS_GOOD)
        status = PageRead::CheckFrame(frame, nullptr);
    if (status == SANE_STATUS_GOOD)
        status = page.Begin(file, frame);
    return status;
}

SANE_Status SaneScan::NextFrame(PageRead& page, SANE_Parameters& frame)
{
    SANE_Status status = SANE_STATUS_GOOD;
    const bool open = OnDevice([&](SANE_Handle h) {
        status = sane_start(h);
        if (status == SANE_STATUS_GOOD)
            status = sane_get_parameters(h, &frame);
    });
    if (!open)
        return SANE_STATUS_CANCELLED; // closed under the page
    return status == SANE_STATUS_GOOD ? page.NextFrame(frame) : status;
}

// Reads one frame until the device ends it: SANE_STATUS_EOF when it ended,
// or ran clearly past the announced size; the interrupting status otherwise.
SANE_Status SaneScan::ReadFrame(PageRead& page, const SANE_Parameters& frame)
{
    for (;;) {
        SANE_Status status = SANE_STATUS_GOOD;
        SANE_Int len = 0;
        if (!OnDevice([&](SANE_Handle h) { status = sane_read(h, page.buffer(), page.bufferSize(), &len); }))
            return SANE_STATUS_CANCELLED; // closed under the page: it is not complete
        if (status != SANE_STATUS_GOOD)
            return status;
        if (len > 0 && (status = page.Store(frame, size_t(len))) != SANE_STATUS_GOOD)
            return status;
        if (page.OverRun()) {
            std::fprintf(stderr, "%s: device sent more data than announced; page ended\n", kProgramName);
            return SANE_STATUS_EOF;
        }
    }
}
