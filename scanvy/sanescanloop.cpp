// The scan loop of SaneScan: one sane_start per sheet, one page file per
// page, written under a ".part" name and renamed when complete.
#include "sanescan.h"

#include "pagefileops.h"
#include "pageflusher.h"
#include "pageread.h"
#include "pagewriter.h"
#include "scanjob.h"
#include "scannerlog.h"

#include <QFile>
#include <QMutexLocker>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

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

    // Each page goes to disk while the next sheet is read.
    PageFlusher pages(job);
    runningJob = &job;
    flusher = &pages;
    SANE_Status status = SANE_STATUS_GOOD;
    do {
        if (!OnDevice([&](SANE_Handle h) { status = stopAsked ? SANE_STATUS_CANCELLED : sane_start(h); }))
            status = SANE_STATUS_INVAL; // closed between two sheets
        // A stop asked while the sheet was started: it is not read.
        if (status == SANE_STATUS_GOOD && stopAsked)
            status = SANE_STATUS_CANCELLED;
        if (status == SANE_STATUS_GOOD)
            status = ScanPage(job);
    } while (status == SANE_STATUS_GOOD && job.pages != job.pageLimit && !pages.Failed());

    // The next job starts from a stopped device.
    OnDevice([](SANE_Handle h) { sane_cancel(h); });
    // The job has ended when its pages are on disk and announced.
    pages.Wait();
    AnnounceSettled();
    runningJob = nullptr;
    flusher = nullptr;
    stopAsked = false;
    // A page that could not be made durable ended the job there.
    return pages.Failed() ? SANE_STATUS_ACCESS_DENIED : status;
}

// One started sheet: its ".part" file and the reading; the flusher gives
// the page its final name. Every page attempt is announced by its final
// name, also one that failed half-way; a page that never began, or of
// which the device sent nothing, is dropped.
SANE_Status SaneScan::ScanPage(ScanJob& job)
{
    PageSlot slot;
    PageRead page(PageWriter::FormatForPath(job.PagePath(job.fileCounter)), job.resolution);
    if (!page.AllocateBuffer())
        return SANE_STATUS_NO_MEM;
    SANE_Status status = PageFileOps::CreatePart(job, slot);
    if (status != SANE_STATUS_GOOD)
        return status;
    flusher->Claim(slot.number);

    status = inner_scan(page, slot.file);
    ++job.pages;
    if (status == SANE_STATUS_INVAL || page.Received() == 0) {
        std::fclose(slot.file);
        ::unlink(slot.part.constData());
        flusher->Release(slot.number);
        // Nothing came for this sheet: after a stop the job is cancelled;
        // a device that ends a page before its first byte has no more.
        if (status == SANE_STATUS_EOF)
            status = stopAsked ? SANE_STATUS_CANCELLED : SANE_STATUS_NO_DOCS;
        return status;
    }
    if (status != SANE_STATUS_GOOD)
        job.pageCut = true; // an interrupted page keeps its ".part"
    job.fileCounter = slot.number + 1;
    flusher->Add(slot, status);
    AnnounceSettled();
    return status;
}

// Announces the pages the flusher has settled since the last call, in
// page order, on the scan loop's thread.
void SaneScan::AnnounceSettled()
{
    if (flusher == nullptr)
        return;
    for (const PageFlusher::Settled& page : flusher->Take()) {
        // A page moved on to a later number: the next one starts after it.
        runningJob->fileCounter = std::max(runningJob->fileCounter, page.number + 1);
        ++runningJob->announced;
        emit sglScanOneImageDone(QFile::decodeName(page.final));
    }
}

// Reads one page (one frame, or three separate colour frames) into `file`.
// SANE_STATUS_GOOD when the page is complete and written; otherwise the
// status that interrupted it (SANE_STATUS_INVAL when there is no page,
// SANE_STATUS_EOF when the device sent nothing).
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
    status = PageEnd(page, status);
    // Frames that ended as the device said, or that ran over and were cut
    // at the announced size, make a page; a short page is completed white.
    return status == SANE_STATUS_EOF && page.Received() > 0 ? page.Finish() : status;
}

// How a page whose frames have ended ends. After a stop the device may end
// the page as if it were complete (some answer a cancel with
// SANE_STATUS_EOF); only a page that has all its bytes is then complete.
SANE_Status SaneScan::PageEnd(const PageRead& page, SANE_Status status) const
{
    if (status == SANE_STATUS_EOF && stopAsked && !page.Whole() && page.Received() > 0)
        return SANE_STATUS_CANCELLED;
    return status;
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
        // After a stop nothing more is read; a page already whole has ended.
        if (stopAsked)
            return page.Whole() ? SANE_STATUS_EOF : SANE_STATUS_CANCELLED;
        SANE_Status status = SANE_STATUS_GOOD;
        SANE_Int len = 0;
        if (!OnDevice([&](SANE_Handle h) { status = sane_read(h, page.buffer(), page.bufferSize(), &len); }))
            return SANE_STATUS_CANCELLED; // closed under the page: it is not complete
        if (status != SANE_STATUS_GOOD)
            return status;
        if (len > 0 && (status = page.Store(frame, size_t(len))) != SANE_STATUS_GOOD)
            return status;
        // Pages that reached the disk meanwhile are shown at once.
        AnnounceSettled();
        if (page.OverRun()) {
            std::fprintf(stderr, "%s: device sent more data than announced; page ended\n", kProgramName);
            return SANE_STATUS_EOF;
        }
    }
}
