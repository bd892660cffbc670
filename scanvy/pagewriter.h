#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include <sane/sane.h>

// Shape of one page as it will be written.
struct PageGeometry {
    bool rgb = false; // three samples per pixel, interleaved
    int depth = 8;    // bits per sample: 1, 8 or 16
    int pixelsPerLine = 0;
    int bytesPerLine = 0; // bytes of one row as delivered
    int lines = 0;
    int resolution = 0; // dpi written into the header

    // Bytes of one row that hold pixels. A device may deliver longer rows
    // (bytesPerLine above this); the bytes past it are padding.
    int PixelBytesPerLine() const
    {
        const qint64 bits = qint64(pixelsPerLine) * (rgb ? 3 : 1) * depth;
        return int((bits + 7) / 8);
    }
};

// Writes one page file from the bytes a scanner delivers (16-bit samples in
// the machine's order, 1-bit rows with a set bit meaning black). Every call
// returns a SANE status: SANE_STATUS_ACCESS_DENIED when the file cannot be
// written, SANE_STATUS_NO_MEM when memory runs out. The writer never closes
// the file.
class PageWriter {
public:
    enum Format { Pnm = 1, Tiff = 2, Png = 3, Jpeg = 4 };

    // Format code for a page path, by its extension (case-sensitive); PNM
    // for anything unknown.
    static int FormatForPath(const QString& path);
    // nullptr when memory runs out.
    static std::unique_ptr<PageWriter> Create(int format, FILE* file);

    explicit PageWriter(FILE* file) : m_file(file) {}
    virtual ~PageWriter() = default;
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    // Writes the file header.
    virtual SANE_Status Begin(const PageGeometry& geometry) = 0;
    // Adds page data in delivery order. `data` may be changed in place.
    virtual SANE_Status Write(uint8_t* data, size_t len) = 0;
    // Completes the file, filling rows that never arrived with white, and
    // flushes it.
    virtual SANE_Status Finish() = 0;

protected:
    // White in delivery order: 0 for 1-bit rows (a set bit is black), all
    // bits set otherwise.
    uint8_t WhiteByte() const { return m_geometry.depth == 1 ? 0x00 : 0xFF; }
    SANE_Status WriteBytes(const void* data, size_t len);

    FILE* m_file;
    PageGeometry m_geometry;
};
