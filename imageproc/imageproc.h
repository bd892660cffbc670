#pragma once

#include "pageimage.h"
#include "pageturn.h"
#include "savefailure.h"

#include <QImage>
#include <QList>
#include <QString>

// Converts page files into output files: single raster files (optionally
// rotated, carrying the page's resolution), multi-page TIFF, PDF and OFD.
// Every writer builds its output beside the target and renames it over the
// target only when complete, so a failure never leaves a partial file.
// Every writer refuses a page that is missing, does not decode, or is an
// incomplete JPEG file, before it writes anything; LastFailure() then names
// the page (or the target) and the reason.
class ImageProc {
public:
    ImageProc();

    // Why the last save call failed (reason None after a success). The page
    // index counts in the call's own list (0 for the single-page calls).
    const SaveFailure& LastFailure() const { return m_failure; }

    QString ScanDir() const { return m_scanDir; }

    // See pnmResolution() and loadPageImage().
    static int GetPNMResolution(const QString& path) { return PnmResolution(path); }
    static QImage LoadPage(const QString& path) { return LoadPageImage(path); }

    // Writes `dst` from `src`, rotated clockwise by `angle` degrees, in the
    // format named by dst's extension ("jpg", "png", "pnm", "tiff"). A TIFF
    // target written unrotated is recompressed (JPEG for colour and grey when
    // `jpegInTiff`, Deflate otherwise); a rotated one is written
    // uncompressed. `dst` may equal `src`. A quarter turn moves the pixels
    // unchanged, and a JPEG page to a JPEG target is turned without decoding
    // where its size allows (see TurnJpegLosslessly).
    bool SaveAs(const QString& src, const QString& dst, double angle, bool jpegInTiff);
    // Writes `dst` from the page as SaveAs does, with the page's turn applied
    // to its pixels before the same compression an unturned page gets: the
    // pixels are moved unchanged (TIFF, PNG, PNM), a JPEG page to a JPEG
    // target is turned without decoding where its size allows, else decoded
    // and encoded once.
    bool SaveAs(const SavePage& page, const QString& dst, bool jpegInTiff);

    // One multi-page TIFF of all pages, in order: black and white pages
    // as CCITT Group 4, grey pages as JPEG-compressed grey, colour pages as
    // JPEG-compressed colour (16-bit pages narrowed to 8 bits); a JPEG page
    // a TIFF reader takes from one strip goes in as it is (turned without
    // decoding where it can be). Fails before writing anything when a page
    // is missing.
    bool SaveMultiTiff(const QList<QString>& pages, const QString& dst);
    bool SaveMultiTiff(const QList<SavePage>& pages, const QString& dst);

    // PDF of one page or of all pages in order. JPEG pages are shown as they
    // are; other pages pass through TIFF. A turned page is turned in the
    // document, its image data as for the unturned page. A missing page
    // fails before anything is written.
    bool SavePDF(const QString& src, const QString& dst);
    bool SavePDF(const SavePage& page, const QString& dst);
    bool SaveMultiPDF(const QList<QString>& pages, const QString& dst);
    bool SaveMultiPDF(const QList<SavePage>& pages, const QString& dst);

    // OFD document of one page or of all pages in order; each page shows a
    // byte-for-byte copy of its file when that is JPEG or PNG, else (TIFF,
    // PNM) a PNG of the same pixels at the page's own depth. A turned page
    // shows the same image data through a turned placement.
    // A missing page fails before anything is written.
    bool SaveOFD(const QString& src, const QString& dst);
    bool SaveOFD(const SavePage& page, const QString& dst);
    bool SaveMultiOFD(const QList<QString>& srcs, const QString& dst);
    bool SaveMultiOFD(const QList<SavePage>& pages, const QString& dst);

private:
    // Forgets the last failure and checks every page cheaply (PageCheck::Quick).
    bool Begin(const QList<QString>& pages);
    // The same, and every turn must be a multiple of 90 degrees.
    bool Begin(const QList<SavePage>& pages, const QString& dst);
    // How a TIFF target of a turned page is compressed.
    enum class TurnedTiff { Uncompressed, AsUnturned };
    bool SaveTurned(const SavePage& page, const QString& dst, bool jpegInTiff, TurnedTiff tiff);
    // Records why a save failed, unless already known: the page `page` of
    // `pages` when it does not decode, else the target `dst`. Returns false.
    bool Fail(const QList<QString>& pages, int page, const QString& dst);
    bool FailTemp();

    // The file to hand to the PDF writer for page `index`: the page itself
    // when the writer reads it directly, else a new temporary TIFF (added to
    // `temps`). Empty (and the failure recorded) when that cannot be made.
    QString PdfSource(const QList<QString>& pages, int index, QList<QString>* temps, const QString& dst);

    bool CopyFile(const QString& src, const QString& dst);
    bool SaveCompressedTiff(const QImage& image, const QString& dst, bool bilevel, bool jpegInTiff);

    QString m_scanDir;
    SaveFailure m_failure;
};
