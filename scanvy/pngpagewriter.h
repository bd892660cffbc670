#pragma once

#include "rowpagewriter.h"

#include <png.h>

// PNG pages through libpng: default compression and filters, no interlace,
// a pHYs chunk with the resolution and no other ancillary chunk. 1-bit rows
// are inverted (PNG gray 0 is black), 16-bit samples stored big-endian.
// libpng errors come back as a status, never as a process exit.
class PngPageWriter : public RowPageWriter {
public:
    explicit PngPageWriter(FILE* file) : RowPageWriter(file) {}
    ~PngPageWriter() override;

protected:
    SANE_Status BeginImage() override;
    SANE_Status WriteRow(uint8_t* row) override;
    SANE_Status FinishImage() override;

private:
    static void OnError(png_structp png, png_const_charp message);
    static void OnWarning(png_structp png, png_const_charp message);
    static void OnWrite(png_structp png, png_bytep data, png_size_t length);
    static void OnFlush(png_structp png);
    SANE_Status Failure() const;

    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    bool m_writeFailed = false;
};
