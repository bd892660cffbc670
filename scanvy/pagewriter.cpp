#include "pagewriter.h"

#include "jpegpagewriter.h"
#include "pngpagewriter.h"
#include "rawpagewriter.h"

#include <new>

int PageWriter::FormatForPath(const QString& path)
{
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return Pnm;
    const QString ext = path.mid(dot);
    if (ext == QLatin1String(".png"))
        return Png;
    if (ext == QLatin1String(".jpg") || ext == QLatin1String(".jpeg"))
        return Jpeg;
    if (ext == QLatin1String(".tiff") || ext == QLatin1String(".tif"))
        return Tiff;
    return Pnm;
}

std::unique_ptr<PageWriter> PageWriter::Create(int format, FILE* file)
{
    switch (format) {
    case Png:
        return std::unique_ptr<PageWriter>(new (std::nothrow) PngPageWriter(file));
    case Jpeg:
        return std::unique_ptr<PageWriter>(new (std::nothrow) JpegPageWriter(file));
    case Tiff:
        return std::unique_ptr<PageWriter>(new (std::nothrow) RawPageWriter(file, RawPageWriter::Tiff));
    default:
        return std::unique_ptr<PageWriter>(new (std::nothrow) RawPageWriter(file, RawPageWriter::Pnm));
    }
}

SANE_Status PageWriter::WriteBytes(const void* data, size_t len)
{
    if (len == 0)
        return SANE_STATUS_GOOD;
    return std::fwrite(data, 1, len, m_file) == len ? SANE_STATUS_GOOD : SANE_STATUS_ACCESS_DENIED;
}
