#include "pdfwriter.h"

#include "pagetext.h"
#include "pdftext.h"
#include "savefailure.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>

namespace {

// Object numbers fixed by the layout: the catalogue, the page tree and the
// document information come first, pages follow in threes.
const int kCatalog = 1;
const int kPageTree = 2;
const int kInfo = 3;
const char kFontName[] = "F1";
// How the text font calls itself; no reader has it, none needs it.
const char kFontBaseName[] = "/ScanvyHiddenText";

QByteArray Num(double value)
{
    return QByteArray::number(value, 'f', 4);
}

} // namespace

PdfWriter::PdfWriter() = default;

PdfWriter::~PdfWriter()
{
    if (m_file)
        std::fclose(m_file);
}

bool PdfWriter::Open(const QString& path)
{
    m_file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!m_file) {
        NoteWriteError(errno);
        return false;
    }
    std::setvbuf(m_file, nullptr, _IOFBF, 1 << 20);
    m_offsets.fill(-1, kInfo);
    Write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    return !m_failed;
}

void PdfWriter::WriteRaw(const char* data, size_t size)
{
    if (m_failed || size == 0)
        return;
    if (std::fwrite(data, 1, size, m_file) != size) {
        NoteWriteError(errno);
        m_failed = true;
    }
    m_pos += qint64(size);
}

void PdfWriter::Write(const QByteArray& text)
{
    WriteRaw(text.constData(), size_t(text.size()));
}

int PdfWriter::BeginObject()
{
    m_offsets.append(m_pos);
    const int number = m_offsets.size();
    Write(QByteArray::number(number) + " 0 obj\n");
    return number;
}

bool PdfWriter::AddPage(const PdfImage& image)
{
    return AddPage(image, PageText());
}

int PdfWriter::TextFont()
{
    if (m_fontObject == 0) {
        m_fontObject = m_offsets.size() + 1;
        for (int i = 0; i < 4; ++i)
            m_offsets.append(-1);
    }
    return m_fontObject;
}

void PdfWriter::WriteTextFont()
{
    const QByteArray name = kFontBaseName;
    const int font = m_fontObject;
    const auto ref = [](int object) { return QByteArray::number(object) + " 0 R"; };
    const auto begin = [this](int object) {
        m_offsets[object - 1] = m_pos;
        Write(QByteArray::number(object) + " 0 obj\n");
    };
    begin(font);
    Write("<< /Type /Font /Subtype /Type0 /BaseFont " + name + " /Encoding /Identity-H /DescendantFonts [" +
          ref(font + 1) + "] /ToUnicode " + ref(font + 3) + " >>\nendobj\n");
    begin(font + 1);
    Write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont " + name +
          " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " +
          ref(font + 2) + " /DW 1000 /CIDToGIDMap /Identity >>\nendobj\n");
    begin(font + 2);
    Write("<< /Type /FontDescriptor /FontName " + name +
          " /Flags 4 /FontBBox [0 -200 1000 800] /ItalicAngle 0 /Ascent 800 /Descent -200 /CapHeight 800 "
          "/StemV 80 >>\nendobj\n");
    begin(font + 3);
    const QByteArray map = m_textFont->ToUnicode();
    Write("<< /Length " + QByteArray::number(map.size()) + " >>\nstream\n" + map + "endstream\nendobj\n");
}

bool PdfWriter::AddPage(const PdfImage& image, const PageText& text)
{
    if (!m_file || m_failed || image.data.isEmpty())
        return false;
    const QByteArray w = Num(image.widthPt);
    const QByteArray h = Num(image.heightPt);
    // The text's content first: the font's objects are numbered (before the
    // page's) only once a page sets a word.
    QByteArray textContent;
    if (!text.IsEmpty()) {
        if (!m_textFont)
            m_textFont.reset(new PdfTextFont);
        textContent = PdfTextContent(text, image.widthPt, image.heightPt, kFontName, m_textFont.get());
    }
    const bool hasText = !textContent.isEmpty();
    QByteArray fontResource;
    if (hasText)
        fontResource =
            " /Font << /" + QByteArray(kFontName) + " " + QByteArray::number(TextFont()) + " 0 R >>";
    // Page, then its content stream (next number), then the image (after that).
    const int page = BeginObject();
    Write("<< /Type /Page /Parent " + QByteArray::number(kPageTree) + " 0 R /MediaBox [0 0 " + w + " " + h +
          "] /Resources << /ProcSet [/PDF /" + (image.components == 1 ? "ImageB" : "ImageC") +
          (hasText ? " /Text" : "") + "] /XObject << /Im1 " + QByteArray::number(page + 2) + " 0 R >>" +
          fontResource + " >> /Contents " + QByteArray::number(page + 1) + " 0 R" +
          (image.rotate != 0 ? " /Rotate " + QByteArray::number(image.rotate) : "") + " >>\nendobj\n");
    const QByteArray content = "q " + w + " 0 0 " + h + " 0 0 cm /Im1 Do Q\n";
    BeginObject();
    if (hasText) {
        // The text is most of the stream: deflated (a zlib stream, after
        // qCompress's four bytes of length).
        const QByteArray packed = qCompress(content + textContent).mid(4);
        Write("<< /Length " + QByteArray::number(packed.size()) + " /Filter /FlateDecode >>\nstream\n" +
              packed + "\nendstream\nendobj\n");
    } else {
        Write("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
              "endstream\nendobj\n");
    }

    BeginObject();
    QByteArray dict = "<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(image.width) +
                      " /Height " + QByteArray::number(image.height) + " /ColorSpace " +
                      (image.components == 1 ? "/DeviceGray" : "/DeviceRGB");
    if (image.filter == PdfImage::CCITTG4) {
        dict += " /BitsPerComponent 1 /Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns " +
                QByteArray::number(image.width) + " /Rows " + QByteArray::number(image.height) + " >>";
    } else {
        dict += " /BitsPerComponent 8 /Filter /DCTDecode";
    }
    Write(dict + " /Length " + QByteArray::number(image.data.size()) + " >>\nstream\n");
    Write(image.data);
    Write("\nendstream\nendobj\n");
    m_pages.append(page);
    // Start writing this page to disk while the next one is prepared, so
    // that the final flush to disk has little left to do.
    if (!m_failed && std::fflush(m_file) == 0)
        ::sync_file_range(fileno(m_file), 0, 0, SYNC_FILE_RANGE_WRITE);
    else if (!m_failed)
        NoteWriteError(errno);
    return !m_failed;
}

bool PdfWriter::Finish()
{
    if (!m_file)
        return false;
    if (m_pages.isEmpty())
        m_failed = true;
    QByteArray kids;
    for (int page : m_pages)
        kids += QByteArray::number(page) + " 0 R ";
    m_offsets[kPageTree - 1] = m_pos;
    Write(QByteArray::number(kPageTree) + " 0 obj\n<< /Type /Pages /Count " +
          QByteArray::number(m_pages.size()) + " /Kids [" + kids.trimmed() + "] >>\nendobj\n");
    m_offsets[kCatalog - 1] = m_pos;
    Write(QByteArray::number(kCatalog) + " 0 obj\n<< /Type /Catalog /Pages " + QByteArray::number(kPageTree) +
          " 0 R >>\nendobj\n");
    m_offsets[kInfo - 1] = m_pos;
    Write(QByteArray::number(kInfo) + " 0 obj\n<< /Producer (scanvy) >>\nendobj\n");
    if (m_fontObject != 0)
        WriteTextFont();

    const qint64 xref = m_pos;
    Write("xref\n0 " + QByteArray::number(m_offsets.size() + 1) + "\n0000000000 65535 f \n");
    for (qint64 offset : m_offsets)
        Write(QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n");
    Write("trailer\n<< /Size " + QByteArray::number(m_offsets.size() + 1) + " /Root " +
          QByteArray::number(kCatalog) + " 0 R /Info " + QByteArray::number(kInfo) + " 0 R >>\nstartxref\n" +
          QByteArray::number(xref) + "\n%%EOF\n");
    const bool flushed = std::fflush(m_file) == 0 && !std::ferror(m_file);
    if (!flushed)
        NoteWriteError(errno);
    const bool closed = std::fclose(m_file) == 0;
    if (!closed)
        NoteWriteError(errno);
    m_file = nullptr;
    return !m_failed && flushed && closed;
}
