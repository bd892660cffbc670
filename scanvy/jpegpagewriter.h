#pragma once

#include "jpegerror.h"
#include "rowpagewriter.h"

// JPEG pages through libjpeg: library defaults, quality 75 baseline, and a
// JFIF header carrying the resolution in dots per inch. 1-bit rows are
// expanded to 8-bit gray and 16-bit samples reduced to their high byte.
// libjpeg errors come back as a status, never as a process exit.
class JpegPageWriter : public RowPageWriter {
public:
    explicit JpegPageWriter(FILE* file) : RowPageWriter(file) {}
    ~JpegPageWriter() override;

protected:
    SANE_Status BeginImage() override;
    SANE_Status WriteRow(uint8_t* row) override;
    SANE_Status FinishImage() override;

private:
    SANE_Status Failure() const;

    jpeg_compress_struct m_cinfo{};
    JpegErrorManager m_error;
    bool m_created = false;
    JSAMPLE* m_scanline = nullptr;
};
