#include "pngpagewriter.h"

#include "scannerlog.h"

#include <cstdio>
#include <utility>

PngPageWriter::~PngPageWriter()
{
    if (m_png != nullptr)
        png_destroy_write_struct(&m_png, m_info != nullptr ? &m_info : nullptr);
}

void PngPageWriter::OnError(png_structp, png_const_charp message)
{
    // Returning makes libpng jump back to the setjmp of the running call.
    std::fprintf(stderr, "%s: libpng error: %s\n", kProgramName, message);
}

void PngPageWriter::OnWarning(png_structp, png_const_charp)
{
}

void PngPageWriter::OnWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* self = static_cast<PngPageWriter*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, self->m_file) != length) {
        self->m_writeFailed = true;
        png_error(png, "write error");
    }
}

void PngPageWriter::OnFlush(png_structp png)
{
    auto* self = static_cast<PngPageWriter*>(png_get_io_ptr(png));
    if (std::fflush(self->m_file) != 0) {
        self->m_writeFailed = true;
        png_error(png, "flush error");
    }
}

SANE_Status PngPageWriter::Failure() const
{
    return m_writeFailed ? SANE_STATUS_ACCESS_DENIED : SANE_STATUS_NO_MEM;
}

SANE_Status PngPageWriter::BeginImage()
{
    m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnWarning);
    if (m_png == nullptr) {
        std::fprintf(stderr, "png_create_write_struct failed\n");
        return SANE_STATUS_NO_MEM;
    }
    m_info = png_create_info_struct(m_png);
    if (m_info == nullptr) {
        std::fprintf(stderr, "png_create_info_struct failed\n");
        return SANE_STATUS_NO_MEM;
    }
    if (setjmp(png_jmpbuf(m_png)))
        return Failure();
    png_set_write_fn(m_png, this, OnWrite, OnFlush);
    const PageGeometry& g = m_geometry;
    png_set_IHDR(m_png, m_info, png_uint_32(g.pixelsPerLine), png_uint_32(g.lines), g.depth,
                 g.rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const png_uint_32 ppm = png_uint_32(g.resolution * 39.3700787401575);
    png_set_pHYs(m_png, m_info, ppm, ppm, PNG_RESOLUTION_METER);
    png_write_info(m_png, m_info);
    return SANE_STATUS_GOOD;
}

SANE_Status PngPageWriter::WriteRow(uint8_t* row)
{
    const size_t n = size_t(m_geometry.bytesPerLine);
    if (m_geometry.depth == 1) {
        for (size_t i = 0; i < n; ++i)
            row[i] = uint8_t(~row[i]);
    } else if (m_geometry.depth == 16) {
        for (size_t i = 0; i + 1 < n; i += 2)
            std::swap(row[i], row[i + 1]);
    }
    if (setjmp(png_jmpbuf(m_png)))
        return Failure();
    png_write_row(m_png, row);
    return SANE_STATUS_GOOD;
}

SANE_Status PngPageWriter::FinishImage()
{
    if (setjmp(png_jmpbuf(m_png)))
        return Failure();
    png_write_end(m_png, m_info);
    return SANE_STATUS_GOOD;
}
