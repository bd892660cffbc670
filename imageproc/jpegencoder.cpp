#include "jpegencoder.h"

#include "jpegerror.h"
#include "outputlog.h"

#include <cstdlib>

namespace {

void ReportError(const char* text)
{
    qCWarning(lcOutput) << "JPEG encoder:" << text;
}

// Runs one libjpeg step of the encoder `s`: a fatal error inside it ends
// the step with false and leaves the encoder failed.
template <typename State, typename Step> bool RunGuarded(State& s, Step&& step)
{
    if (setjmp(s.err.jump)) {
        s.failed = true;
        return false;
    }
    return step();
}

} // namespace

struct JpegEncoder::State {
    jpeg_compress_struct cinfo{};
    JpegErrorManager err;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool started = false;
    bool failed = false;
};

JpegEncoder::JpegEncoder() : m_state(new State)
{
    State& s = *m_state;
    s.err.Attach(s.cinfo, ReportError, nullptr);
    RunGuarded(s, [&s] {
        jpeg_create_compress(&s.cinfo);
        return true;
    });
}

JpegEncoder::~JpegEncoder()
{
    jpeg_destroy_compress(&m_state->cinfo);
    std::free(m_state->buffer);
}

bool JpegEncoder::Begin(int width, int height, int components, int quality)
{
    State& s = *m_state;
    if (s.failed || s.started || width <= 0 || height <= 0 || (components != 1 && components != 3))
        return false;
    return RunGuarded(s, [&] {
        jpeg_mem_dest(&s.cinfo, &s.buffer, &s.size);
        s.cinfo.image_width = JDIMENSION(width);
        s.cinfo.image_height = JDIMENSION(height);
        s.cinfo.input_components = components;
        s.cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
        jpeg_set_defaults(&s.cinfo);
        jpeg_set_quality(&s.cinfo, quality, TRUE);
        // Huffman tables made for this image instead of the standard ones: a
        // second pass over the coefficients, the same pixels, a much smaller
        // stream for scanned documents.
        s.cinfo.optimize_coding = TRUE;
        jpeg_start_compress(&s.cinfo, TRUE);
        s.started = true;
        return true;
    });
}

bool JpegEncoder::WriteRow(const unsigned char* row)
{
    State& s = *m_state;
    if (s.failed || !s.started)
        return false;
    // libjpeg's row type is not const, but the encoder only reads the row.
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
    return RunGuarded(s, [&] { return jpeg_write_scanlines(&s.cinfo, rows, 1) == 1; });
}

bool JpegEncoder::Finish(QByteArray* out)
{
    State& s = *m_state;
    if (s.failed || !s.started)
        return false;
    const bool finished = RunGuarded(s, [&s] {
        jpeg_finish_compress(&s.cinfo);
        return true;
    });
    if (!finished)
        return false;
    s.started = false;
    *out = QByteArray(reinterpret_cast<const char*>(s.buffer), int(s.size));
    return true;
}
