#pragma once

#include "pagewriter.h"

// PNM and TIFF pages: a header, then the data as it arrives, without the
// padding a device may add at the end of each row. PNM stores 16-bit samples
// most significant byte first; TIFF keeps them as delivered (little-endian,
// as its "II" header says).
class RawPageWriter : public PageWriter {
public:
    enum Kind { Pnm, Tiff };

    RawPageWriter(FILE* file, Kind kind) : PageWriter(file), m_kind(kind) {}

    SANE_Status Begin(const PageGeometry& geometry) override;
    SANE_Status Write(uint8_t* data, size_t len) override;
    SANE_Status Finish() override;

    // The PNM header: magic, "#dpi:" line, size and (for P5/P6) maximum value.
    static QByteArray PnmHeader(const PageGeometry& geometry);

private:
    // Writes bytes that belong to pixels, swapping samples where needed.
    SANE_Status WritePixels(uint8_t* data, size_t len);

    Kind m_kind;
    bool m_swap = false;
    bool m_hasPending = false; // first byte of a sample split between chunks
    uint8_t m_pending = 0;
    size_t m_column = 0;    // position in the delivered row
    uint64_t m_written = 0; // pixel bytes written, header excluded
};
