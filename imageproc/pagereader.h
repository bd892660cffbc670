#pragma once

#include "pagestamp.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

class TiffReducer;
typedef struct tiff TIFF;

// Decodes one page file at a reduced size, as cheaply as its format allows:
// JPEG pages are scaled by the decoder itself (by 1/2, 1/4 or 1/8), TIFF
// pages by averaging cells of pixels while their lines are read
// (TiffReducer), other pages by Qt's reader with a scaling step after. The
// file is opened once by the constructor; Stamp() names exactly the bytes
// that are decoded, even when a new file is renamed over the path meanwhile.
// One reader serves one thread at a time.
class PageReader {
public:
    explicit PageReader(const QString& path);
    ~PageReader();
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;

    // True when the file was opened and its header gives a positive size.
    bool IsValid() const { return m_size.width() > 0 && m_size.height() > 0; }
    // Size of the page at full resolution.
    QSize Size() const { return m_size; }
    const PageStamp& Stamp() const { return m_stamp; }
    bool IsBilevel() const;

    // The largest reduction factor (1 = full size) that this file decodes
    // at cheaply and that still leaves at least `least` pixels each way
    // (as far as the page has them).
    int FactorFor(const QSize& least) const;
    // The page reduced by `factor` (about Size() / factor; exact for the
    // factors FactorFor returns for JPEG pages). Null when it does not
    // decode.
    QImage Read(int factor);
    // The page scaled to exactly `size`: decoded at the largest reduction
    // that keeps at least `sharpness` x `size` pixels (1.0: no enlarging at
    // all), then scaled smoothly. Null when it does not decode.
    QImage ReadAt(const QSize& size, double sharpness = 1.0);
    // True when Read(factor) takes no more than a few milliseconds on a
    // 300 dpi A4 page, so that the interface thread may do it.
    bool IsQuick(int factor) const;

private:
    enum Kind { Unknown, Jpeg, Tiff, Other };

    QImage ReadWithQt(const QSize& scaled);
    bool OpenTiff();

    QString m_path;
    int m_fd = -1;
    Kind m_kind = Unknown;
    PageStamp m_stamp;
    QSize m_size;
    TIFF* m_tiff = nullptr;
    std::unique_ptr<TiffReducer> m_reducer;
};
