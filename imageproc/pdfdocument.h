#pragma once

#include <QString>

#include <memory>

class PdfWriter;
class TargetFile;
struct PageText;

// Builds one PDF page by page from TIFF and JPEG files. TIFF files give one
// page per directory: the image's size at its resolution (300 dpi when none
// is given), colour and grey images JPEG-compressed at quality 75, bilevel
// images CCITT G4-compressed. Grey and RGB JPEG files become a page that
// shows the file's own JPEG data, sized by its JFIF density. Messages go to
// libtiff's error handler with the module "tiff2pdf". The target is replaced
// only by Commit(), and only when every page was added.
class PdfDocument {
public:
    PdfDocument();
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    bool Open(const QString& pdfPath);
    // Adds the page(s) of `path`, shown turned clockwise by `angle` (a
    // multiple of 90): the page is turned in the document, its image data
    // stays as it would be unturned.
    bool AddFile(const QString& path, int angle = 0);
    // The same, with the page's recognised text laid unpainted over the
    // file's first page (boxes in the file's unturned pixels).
    bool AddFile(const QString& path, int angle, const PageText& text);
    bool Commit();

private:
    // Reports the failure once; returns false.
    bool Fail();

    QString m_path;
    std::unique_ptr<TargetFile> m_target;
    std::unique_ptr<PdfWriter> m_writer;
    int m_pages = 0;
    bool m_failed = false;
};
