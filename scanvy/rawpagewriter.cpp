#include "rawpagewriter.h"

#include "tiffheader.h"

#include <utility>

QByteArray RawPageWriter::PnmHeader(const PageGeometry& g)
{
    const char* magic = g.rgb ? "P6" : (g.depth == 1 ? "P4" : "P5");
    QByteArray header = QByteArray(magic) + "\n#dpi:" + QByteArray::number(g.resolution) + "\n" +
                        QByteArray::number(g.pixelsPerLine) + " " + QByteArray::number(g.lines) + "\n";
    if (g.rgb || g.depth != 1)
        header += g.depth > 8 ? "65535\n" : "255\n";
    return header;
}

SANE_Status RawPageWriter::Begin(const PageGeometry& geometry)
{
    m_geometry = geometry;
    m_swap = m_kind == Pnm && geometry.depth == 16;
    const QByteArray header = m_kind == Pnm
                                  ? PnmHeader(geometry)
                                  : TiffHeader::Build(geometry.rgb, geometry.depth, geometry.pixelsPerLine,
                                                      geometry.lines, geometry.resolution);
    return WriteBytes(header.constData(), size_t(header.size()));
}

SANE_Status RawPageWriter::Write(uint8_t* data, size_t len)
{
    const size_t rowBytes = size_t(m_geometry.bytesPerLine);
    const size_t keep = size_t(m_geometry.PixelBytesPerLine());
    if (keep >= rowBytes)
        return WritePixels(data, len);

    // The rows carry padding after their pixels: only the pixel bytes go
    // into the file, which holds rows of exactly the page's width.
    size_t i = 0;
    while (i < len) {
        const size_t n = qMin(len - i, rowBytes - m_column);
        if (m_column < keep) {
            if (SANE_Status s = WritePixels(data + i, qMin(n, keep - m_column)); s != SANE_STATUS_GOOD)
                return s;
        }
        i += n;
        m_column = (m_column + n) % rowBytes;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status RawPageWriter::WritePixels(uint8_t* data, size_t len)
{
    if (len == 0)
        return SANE_STATUS_GOOD;
    m_written += len;
    if (!m_swap)
        return WriteBytes(data, len);

    // Samples go out most significant byte first. A sample split between two
    // chunks is completed with the first byte of the next chunk.
    size_t start = 0;
    if (m_hasPending) {
        const uint8_t pair[2] = {data[0], m_pending};
        m_hasPending = false;
        start = 1;
        if (SANE_Status s = WriteBytes(pair, 2); s != SANE_STATUS_GOOD)
            return s;
    }
    size_t end = len;
    if ((len - start) % 2 != 0) {
        m_pending = data[len - 1];
        m_hasPending = true;
        --end;
    }
    for (size_t i = start; i + 1 < end; i += 2)
        std::swap(data[i], data[i + 1]);
    return WriteBytes(data + start, end - start);
}

SANE_Status RawPageWriter::Finish()
{
    SANE_Status status = SANE_STATUS_GOOD;
    if (m_hasPending) {
        // An odd byte count cannot come from whole samples; keep the byte.
        const uint8_t pair[2] = {0, m_pending};
        status = WriteBytes(pair, 2);
        m_hasPending = false;
        ++m_written;
    }
    const uint64_t expected =
        uint64_t(qMax(0, m_geometry.PixelBytesPerLine())) * uint64_t(qMax(0, m_geometry.lines));
    if (status == SANE_STATUS_GOOD && m_written < expected) {
        uint8_t fill[4096];
        std::fill(fill, fill + sizeof fill, WhiteByte());
        uint64_t missing = expected - m_written;
        while (missing > 0 && status == SANE_STATUS_GOOD) {
            const size_t n = missing < sizeof fill ? size_t(missing) : sizeof fill;
            status = WriteBytes(fill, n);
            missing -= n;
        }
        m_written = expected;
    }
    if (std::fflush(m_file) != 0 && status == SANE_STATUS_GOOD)
        status = SANE_STATUS_ACCESS_DENIED;
    return status;
}
