#include "rowpagewriter.h"

#include <cstdlib>
#include <cstring>

RowPageWriter::~RowPageWriter()
{
    std::free(m_row);
}

SANE_Status RowPageWriter::Begin(const PageGeometry& geometry)
{
    m_geometry = geometry;
    if (geometry.bytesPerLine <= 0)
        return SANE_STATUS_INVAL;
    m_row = static_cast<uint8_t*>(std::malloc(size_t(geometry.bytesPerLine)));
    if (m_row == nullptr)
        return SANE_STATUS_NO_MEM;
    return BeginImage();
}

SANE_Status RowPageWriter::Write(uint8_t* data, size_t len)
{
    const size_t rowBytes = size_t(m_geometry.bytesPerLine);
    size_t i = 0;
    while (i < len) {
        if (m_rowsDone >= m_geometry.lines)
            return SANE_STATUS_GOOD; // the image is complete; more rows do not fit
        if (m_fill == 0 && len - i >= rowBytes) {
            // Whole rows straight from the caller's buffer.
            if (SANE_Status s = WriteRow(data + i); s != SANE_STATUS_GOOD)
                return s;
            i += rowBytes;
            ++m_rowsDone;
            continue;
        }
        const size_t n = qMin(len - i, rowBytes - m_fill);
        std::memcpy(m_row + m_fill, data + i, n);
        m_fill += n;
        i += n;
        if (m_fill == rowBytes) {
            m_fill = 0;
            if (SANE_Status s = WriteRow(m_row); s != SANE_STATUS_GOOD)
                return s;
            ++m_rowsDone;
        }
    }
    return SANE_STATUS_GOOD;
}

SANE_Status RowPageWriter::Finish()
{
    // Rows that never came (a short page) are written white, a partial row
    // completed with white, so that the file is a whole image.
    while (m_rowsDone < m_geometry.lines) {
        std::memset(m_row + m_fill, WhiteByte(), size_t(m_geometry.bytesPerLine) - m_fill);
        m_fill = 0;
        if (SANE_Status s = WriteRow(m_row); s != SANE_STATUS_GOOD)
            return s;
        ++m_rowsDone;
    }
    if (SANE_Status s = FinishImage(); s != SANE_STATUS_GOOD)
        return s;
    return std::fflush(m_file) == 0 ? SANE_STATUS_GOOD : SANE_STATUS_ACCESS_DENIED;
}
