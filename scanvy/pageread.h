#pragma once

#include "imagebuffer.h"
#include "pagewriter.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include <sane/sane.h>

// The data side of one page being read: the read buffer, and where the
// frames' bytes go. A page of known size in one frame is streamed through a
// page writer as it arrives; a page of unknown length or in separate colour
// frames is collected in an image buffer and written when it ends.
class PageRead {
public:
    // 128 KiB: a read lands in memory the processor cache still holds, and
    // the writer takes it from there. Larger reads let a backend that feeds
    // a pipe (libsane's test backend, network and USB backends with a reader
    // thread) hand over megabytes at once, each copied into cold memory and
    // read cold again by the writer: 15 % more processor time per page.
    static constexpr size_t kReadBufferSize = 131072;

    // format: a PageWriter format code; resolution goes into the header.
    PageRead(int format, int resolution) : m_format(format), m_resolution(resolution) {}
    PageRead(const PageRead&) = delete;
    PageRead& operator=(const PageRead&) = delete;

    // False when the memory cannot be had.
    bool AllocateBuffer();
    uint8_t* buffer() { return m_buffer.get(); }
    int bufferSize() const { return int(kReadBufferSize); }

    // A frame the page can be made of: SANE_STATUS_GOOD, or
    // SANE_STATUS_INVAL (reported on standard error) for any other. A later
    // frame must continue the separate colour page of the first.
    static SANE_Status CheckFrame(const SANE_Parameters& frame, const SANE_Parameters* first);

    // Sets the page up from its first frame and writes to `file` (a
    // streamed page's header goes out now).
    SANE_Status Begin(FILE* file, const SANE_Parameters& first);
    // Takes the next separate colour frame of the page (checked as
    // checkFrame does), to be stored from the top of the page again.
    SANE_Status NextFrame(const SANE_Parameters& frame);
    // Takes `len` bytes of `frame` from the read buffer. Past the announced
    // size nothing is stored; overRun() then tells whether the device went
    // clearly beyond it.
    SANE_Status Store(const SANE_Parameters& frame, size_t len);
    bool OverRun() const { return m_expected > 0 && m_total * 100 / m_expected > 100; }
    // Bytes the device has sent for the page so far.
    int64_t Received() const { return m_total; }
    // Every byte the frames announced has arrived (never known for a page
    // of unknown length).
    bool Whole() const { return m_expected > 0 && m_total >= m_expected; }
    // Completes the file: the streamed writer's end, or the whole buffered
    // page with the rows that arrived.
    SANE_Status Finish();

private:
    PageGeometry Geometry(const SANE_Parameters& frame) const;
    SANE_Status BeginBuffered(const SANE_Parameters& first);
    SANE_Status WriteBuffered();

    const int m_format;
    const int m_resolution;
    std::unique_ptr<uint8_t[]> m_buffer;
    FILE* m_file = nullptr;
    SANE_Parameters m_first{};
    bool m_separate = false;
    int64_t m_expected = 0;               // bytes announced for the whole page, 0 when unknown
    int64_t m_total = 0;                  // bytes read so far over all frames
    std::unique_ptr<PageWriter> m_writer; // streamed pages
    ImageBuffer m_image;                  // buffered pages
};
