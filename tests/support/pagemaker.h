#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QVector>

// Generates page files of every kind the scan layer produces, and runs the
// command-line tools that judge our output.
namespace PageMaker {

// A test pattern (gradients and a corner marker so that rotation shows).
QImage pattern(int width, int height, QImage::Format format, int dpi);

// A scanned-document look: paper tone, lines of word-like strokes and a
// shaded picture area, in `format` (bilevel, grey or colour), different per
// seed.
QImage document(int width, int height, QImage::Format format, int dpi, quint32 seed = 1);

// Random colour pixels: an image no codec compresses much.
QImage noise(int width, int height, quint32 seed);

// Writes `image` as `path` in the format of its extension; "pnm" files get a
// "#dpi:<dpi>" comment line when dpi > 0.
bool write(const QImage& image, const QString& path, int pnmDpi = 0);

// One directory of a TIFF file as libtiff reads it: its pixels decoded to
// RGBA, its rows as the scanline interface gives them (samples in the
// machine's order, JPEG in YCbCr handed out as RGB; empty when a row cannot
// be read) and its first strip as stored.
struct TiffDir {
    quint32 width = 0, height = 0, rowsPerStrip = 0;
    quint16 bits = 0, samples = 0, photometric = 0, compression = 0, unit = 0, subH = 0, subV = 0;
    float xres = 0, yres = 0;
    QVector<quint32> rgba;
    QByteArray rows, rawStrip;
};
QVector<TiffDir> readTiff(const QString& path);

// Writes `samples` (`channels` per pixel, row after row, 0 black; a 1-bit
// sample is 0 or 1, others of `depth` bits) as an uncompressed one-strip
// TIFF the way the scan layer does: big-endian up to 8 bits, little-endian
// for 16; a 1-bit page with 0 white (MinIsWhite) or 0 black (MinIsBlack); a
// resolution in dots per inch when dpiX > 0.
bool writeRawTiff(const QString& path, int width, int height, int depth, int channels,
                  const QVector<quint16>& samples, bool minIsWhite, int dpiX = 0, int dpiY = 0);

// Lowers the process's file-size limit while it lives: writes beyond it fail
// with EFBIG, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(quint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    quint64 m_oldSoft = 0;
};

// The samples of a PNM file (P4, P5, P6) after its header and comments, as
// stored; the header's width, height and maximum sample value (1 for P4).
QByteArray pnmPixels(const QByteArray& file, int* width = nullptr, int* height = nullptr,
                     int* maxval = nullptr);

// Bytes of a file (empty when unreadable).
QByteArray bytes(const QString& path);

} // namespace PageMaker
