#include "jpegencoder.h"

#include "outputlog.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace {

// libjpeg's error manager followed by the place to return to on a fatal error.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void onJpegError(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    qCWarning(lcOutput) << "JPEG encoder:" << text;
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void onJpegMessage(j_common_ptr)
{
}

} // namespace

struct JpegEncoder::State {
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool started = false;
    bool failed = false;
};

JpegEncoder::JpegEncoder() : m_state(new State)
{
    State& s = *m_state;
    s.cinfo.err = jpeg_std_error(&s.err.pub);
    s.err.pub.error_exit = onJpegError;
    s.err.pub.output_message = onJpegMessage;
    if (setjmp(s.err.jump)) {
        s.failed = true;
        return;
    }
    jpeg_create_compress(&s.cinfo);
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
    if (setjmp(s.err.jump)) {
        s.failed = true;
        return false;
    }
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
}

bool JpegEncoder::WriteRow(const unsigned char* row)
{
    State& s = *m_state;
    if (s.failed || !s.started)
        return false;
    if (setjmp(s.err.jump)) {
        s.failed = true;
        return false;
    }
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
    return jpeg_write_scanlines(&s.cinfo, rows, 1) == 1;
}

bool JpegEncoder::Finish(QByteArray* out)
{
    State& s = *m_state;
    if (s.failed || !s.started)
        return false;
    if (setjmp(s.err.jump)) {
        s.failed = true;
        return false;
    }
    jpeg_finish_compress(&s.cinfo);
    s.started = false;
    *out = QByteArray(reinterpret_cast<const char*>(s.buffer), int(s.size));
    return true;
}
