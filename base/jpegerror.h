#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// libjpeg's error manager as our JPEG writers use it: a fatal error is
// reported and then returns to the caller's setjmp(jump) instead of ending
// the process; warnings are reported or dropped. Every call into libjpeg
// that may fail must run below a setjmp(jump) of a frame that is still
// active.
struct JpegErrorManager {
    using Report = void (*)(const char* text);

    // First member: libjpeg hands the manager back as cinfo->err.
    jpeg_error_mgr pub{};
    std::jmp_buf jump{};
    Report onError = nullptr;   // told the text of a fatal error before the jump
    Report onWarning = nullptr; // told the text of a warning; nullptr drops them

    // Makes this the error manager of `cinfo`; call before jpeg_create_compress.
    void Attach(jpeg_compress_struct& cinfo, Report error, Report warning);

    // libjpeg's code of the last message (JERR_OUT_OF_MEMORY, ...).
    int LastCode() const { return pub.msg_code; }
};
