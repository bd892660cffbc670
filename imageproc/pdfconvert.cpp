#include "pdfconvert.h"

#include "jpeginfo.h"
#include "pdfdocument.h"

#include <QFile>

#include <tiffio.h>

bool IsEmbeddableJpeg(const QString& path)
{
    JpegInfo info;
    return info.Read(path) && info.Embeddable();
}

int convert2pdf(const QString& tiffPath, const QString& pdfPath)
{
    // Read the input first so that a bad input never touches the target.
    TIFF* probe = TIFFOpen(QFile::encodeName(tiffPath).constData(), "r");
    if (!probe)
        return 1;
    TIFFClose(probe);
    PdfDocument pdf;
    return pdf.Open(pdfPath) && pdf.AddFile(tiffPath) && pdf.Commit() ? 0 : 1;
}
