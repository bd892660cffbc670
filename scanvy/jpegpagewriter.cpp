#include "jpegpagewriter.h"

#include "scannerlog.h"

#include <cstdlib>

#include <jerror.h>

namespace {

// Baseline JPEG at libjpeg's usual quality.
constexpr int kJpegQuality = 75;
// JFIF density unit: dots per inch.
constexpr UINT8 kDensityDotsPerInch = 1;

void ReportLibjpeg(const char* text)
{
    std::fprintf(stderr, "%s: libjpeg: %s\n", kProgramName, text);
}

} // namespace

JpegPageWriter::~JpegPageWriter()
{
    if (m_created)
        jpeg_destroy_compress(&m_cinfo);
    std::free(m_scanline);
}

SANE_Status JpegPageWriter::Failure() const
{
    return m_error.LastCode() == JERR_OUT_OF_MEMORY ? SANE_STATUS_NO_MEM : SANE_STATUS_ACCESS_DENIED;
}

SANE_Status JpegPageWriter::BeginImage()
{
    const PageGeometry& g = m_geometry;
    const int components = g.rgb ? 3 : 1;
    m_scanline = static_cast<JSAMPLE*>(std::malloc(size_t(g.pixelsPerLine) * size_t(components)));
    if (m_scanline == nullptr)
        return SANE_STATUS_NO_MEM;

    m_error.Attach(m_cinfo, ReportLibjpeg, ReportLibjpeg);
    if (setjmp(m_error.jump))
        return Failure();
    jpeg_create_compress(&m_cinfo);
    m_created = true;
    jpeg_stdio_dest(&m_cinfo, m_file);
    m_cinfo.image_width = JDIMENSION(g.pixelsPerLine);
    m_cinfo.image_height = JDIMENSION(g.lines);
    m_cinfo.input_components = components;
    m_cinfo.in_color_space = g.rgb ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&m_cinfo);
    jpeg_set_quality(&m_cinfo, kJpegQuality, TRUE);
    m_cinfo.write_JFIF_header = TRUE;
    m_cinfo.density_unit = kDensityDotsPerInch;
    m_cinfo.X_density = UINT16(g.resolution);
    m_cinfo.Y_density = UINT16(g.resolution);
    jpeg_start_compress(&m_cinfo, TRUE);
    return SANE_STATUS_GOOD;
}

SANE_Status JpegPageWriter::WriteRow(uint8_t* row)
{
    const PageGeometry& g = m_geometry;
    JSAMPLE* line = row;
    if (g.depth == 1) {
        for (int i = 0; i < g.pixelsPerLine; ++i) {
            const bool black = row[i >> 3] & (0x80 >> (i & 7));
            m_scanline[i] = black ? 0 : 255;
        }
        line = m_scanline;
    } else if (g.depth == 16) {
        // Samples arrive little-endian; keep the most significant byte.
        const int samples = g.pixelsPerLine * (g.rgb ? 3 : 1);
        for (int i = 0; i < samples; ++i)
            m_scanline[i] = row[2 * i + 1];
        line = m_scanline;
    }
    if (setjmp(m_error.jump))
        return Failure();
    jpeg_write_scanlines(&m_cinfo, &line, 1);
    return SANE_STATUS_GOOD;
}

SANE_Status JpegPageWriter::FinishImage()
{
    if (setjmp(m_error.jump))
        return Failure();
    jpeg_finish_compress(&m_cinfo);
    return SANE_STATUS_GOOD;
}
