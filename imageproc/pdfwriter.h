#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdio>
#include <memory>

class PdfTextFont;
struct PageText;

// One page image ready for the PDF: an already compressed stream and what a
// reader needs to decode it.
struct PdfImage {
    enum Filter { DCT, CCITTG4 };
    Filter filter = DCT;
    QByteArray data;
    int width = 0;
    int height = 0;
    int components = 3; // 1 grey, 3 RGB
    double widthPt = 0; // page size in points
    double heightPt = 0;
    int rotate = 0; // how far a viewer turns the page clockwise: 0, 90, 180 or 270
};

// Writes a PDF of full-page images, one page at a time, straight to a file;
// only the object offsets stay in memory.
class PdfWriter {
public:
    PdfWriter();
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    bool Open(const QString& path);
    bool AddPage(const PdfImage& image);
    // The page with `text` laid over its image, unpainted, so that readers
    // find and copy it (see PdfTextContent). The font objects are written
    // only into a document that has text.
    bool AddPage(const PdfImage& image, const PageText& text);
    // Writes the page tree, catalogue and cross-reference table and closes the
    // file. False if any write failed or no page was added.
    bool Finish();

private:
    int BeginObject();
    void Write(const QByteArray& text);
    void WriteRaw(const char* data, size_t size);
    // Reserves the font's object numbers on first use; writes them in Finish().
    int TextFont();
    void WriteTextFont();

    std::FILE* m_file = nullptr;
    qint64 m_pos = 0;
    bool m_failed = false;
    QVector<qint64> m_offsets; // index = object number - 1
    QVector<int> m_pages;
    std::unique_ptr<PdfTextFont> m_textFont;
    int m_fontObject = 0; // the Type0 font; its descendant, descriptor and ToUnicode map follow
};
