#include "pageread.h"

#include "scannerlog.h"

#include <new>

namespace {

bool IsSeparateColour(SANE_Frame f)
{
    return f == SANE_FRAME_RED || f == SANE_FRAME_GREEN || f == SANE_FRAME_BLUE;
}

bool SupportedFirst(const SANE_Parameters& p)
{
    switch (p.format) {
    case SANE_FRAME_GRAY:
        return p.depth == 1 || p.depth == 8 || p.depth == 16;
    case SANE_FRAME_RGB:
        return p.depth == 8 || p.depth == 16;
    case SANE_FRAME_RED:
    case SANE_FRAME_GREEN:
    case SANE_FRAME_BLUE:
        return p.depth == 8;
    default:
        return false;
    }
}

// Later frames continue a separate colour page with the same shape.
bool ContinuesPage(const SANE_Parameters& p, const SANE_Parameters& first)
{
    return IsSeparateColour(first.format) && IsSeparateColour(p.format) && p.depth == 8 &&
           p.bytes_per_line == first.bytes_per_line && p.pixels_per_line == first.pixels_per_line;
}

// Rows may carry padding after their pixels, but never fewer bytes than the
// pixels need.
bool RowsHoldPixels(const SANE_Parameters& p)
{
    const int64_t bits = int64_t(p.pixels_per_line) * (p.format == SANE_FRAME_RGB ? 3 : 1) * p.depth;
    return p.pixels_per_line > 0 && p.bytes_per_line > 0 && int64_t(p.bytes_per_line) >= (bits + 7) / 8;
}

} // namespace

bool PageRead::AllocateBuffer()
{
    m_buffer.reset(new (std::nothrow) uint8_t[kReadBufferSize]);
    return m_buffer != nullptr;
}

SANE_Status PageRead::CheckFrame(const SANE_Parameters& frame, const SANE_Parameters* first)
{
    const bool shape = first == nullptr ? SupportedFirst(frame) : ContinuesPage(frame, *first);
    if (shape && RowsHoldPixels(frame))
        return SANE_STATUS_GOOD;
    std::fprintf(stderr, "%s: unsupported frame (format %d, depth %d, %d bytes per line)\n", kProgramName,
                 int(frame.format), frame.depth, frame.bytes_per_line);
    return SANE_STATUS_INVAL;
}

PageGeometry PageRead::Geometry(const SANE_Parameters& frame) const
{
    PageGeometry g;
    g.rgb = frame.format != SANE_FRAME_GRAY;
    g.depth = frame.depth;
    g.pixelsPerLine = frame.pixels_per_line;
    g.bytesPerLine = frame.bytes_per_line;
    g.lines = frame.lines;
    g.resolution = m_resolution;
    return g;
}

SANE_Status PageRead::Begin(FILE* file, const SANE_Parameters& first)
{
    m_file = file;
    m_first = first;
    m_separate = IsSeparateColour(first.format);
    if (first.lines > 0)
        m_expected = int64_t(first.bytes_per_line) * first.lines * (m_separate ? 3 : 1);
    if (first.lines < 0 || m_separate)
        return BeginBuffered(first);
    m_writer = PageWriter::Create(m_format, file);
    if (!m_writer)
        return SANE_STATUS_NO_MEM;
    return m_writer->Begin(Geometry(first));
}

SANE_Status PageRead::BeginBuffered(const SANE_Parameters& first)
{
    // Separate colour frames fill every third byte of a row of all three.
    const int rowBytes = m_separate ? first.bytes_per_line * 3 : first.bytes_per_line;
    const int rows = first.lines > 0 ? first.lines + 1 : ImageBuffer::kStripe;
    if (m_image.Allocate(rowBytes, rows))
        return SANE_STATUS_GOOD;
    std::fprintf(stderr, "%s: can't allocate image buffer (%dx%d)\n", kProgramName, rowBytes, rows);
    return SANE_STATUS_NO_MEM;
}

SANE_Status PageRead::NextFrame(const SANE_Parameters& frame)
{
    const SANE_Status status = CheckFrame(frame, &m_first);
    if (status == SANE_STATUS_GOOD)
        m_image.Rewind();
    return status;
}

SANE_Status PageRead::Store(const SANE_Parameters& frame, size_t len)
{
    // Over-run guard: data past the announced size is never written.
    size_t n = len;
    if (m_expected > 0 && m_total + int64_t(len) > m_expected)
        n = m_total < m_expected ? size_t(m_expected - m_total) : 0;
    m_total += int64_t(len);

    if (m_writer)
        return m_writer->Write(m_buffer.get(), n);
    const int channel = m_separate ? int(frame.format) - int(SANE_FRAME_RED) : 0;
    if (m_image.Store(m_buffer.get(), n, frame.bytes_per_line, m_separate ? 3 : 1, channel))
        return SANE_STATUS_GOOD;
    std::fprintf(stderr, "%s: can't allocate image buffer (%dx%d)\n", kProgramName, m_image.width(),
                 m_image.height() + ImageBuffer::kStripe);
    return SANE_STATUS_NO_MEM;
}

SANE_Status PageRead::Finish()
{
    return m_writer ? m_writer->Finish() : WriteBuffered();
}

SANE_Status PageRead::WriteBuffered()
{
    // The rows that arrived, each holding all of a pixel's samples.
    PageGeometry g = Geometry(m_first);
    g.rgb = m_separate || m_first.format == SANE_FRAME_RGB;
    g.bytesPerLine = m_image.width();
    g.lines = m_image.Rows();
    std::unique_ptr<PageWriter> writer = PageWriter::Create(m_format, m_file);
    if (!writer)
        return SANE_STATUS_NO_MEM;
    SANE_Status status = writer->Begin(g);
    if (status == SANE_STATUS_GOOD)
        status = writer->Write(m_image.data(), size_t(g.bytesPerLine) * size_t(g.lines));
    if (status == SANE_STATUS_GOOD)
        status = writer->Finish();
    return status;
}
