#include "pagereader.h"

#include "ownfile.h"
#include "tifflog.h"
#include "tiffreducer.h"

#include <QFile>
#include <QImageReader>
#include <QtMath>

#include <algorithm>
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

namespace {

// Pages up to this many pixels decode in a few milliseconds in any format.
const qint64 kQuickPixels = 1500 * 1000;
// Bytes of 1-bit page data the reducer gets through in a few milliseconds
// (an A4 page at 600 dpi has 4.4 MB), and of 8- or 16-bit data.
const qint64 kQuickBilevelBytes = 8 * 1000 * 1000;
const qint64 kQuickSampleBytes = 2 * 1000 * 1000;
// The decoder scales JPEG pages by these factors while decoding.
const int kJpegFactors[] = {8, 4, 2};

} // namespace

PageReader::PageReader(const QString& path) : m_path(path)
{
    if (path.isEmpty()) {
        return;
    }
    m_fd = OwnFile::Open(path);
    if (m_fd < 0) {
        return;
    }
    m_stamp = PageStamp::OfDescriptor(m_fd);
    if (!m_stamp.IsValid()) {
        return;
    }
    uchar magic[4] = {0, 0, 0, 0};
    if (::pread(m_fd, magic, sizeof magic, 0) != qint64(sizeof magic)) {
        return;
    }
    const bool tiff =
        (magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) && magic[3] == 0) ||
        (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && (magic[3] == 42 || magic[3] == 43));
    if (tiff && OpenTiff()) {
        return;
    }
    QFile file;
    if (::lseek(m_fd, 0, SEEK_SET) != 0 ||
        !file.open(m_fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        return;
    }
    QImageReader reader(&file);
    const QByteArray format = reader.format();
    m_kind = format == "jpeg" ? Jpeg : (format == "tiff" ? Tiff : Other);
    m_size = reader.size();
}

PageReader::~PageReader()
{
    m_reducer.reset();
    if (m_tiff != nullptr) {
        TIFFClose(m_tiff);
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool PageReader::OpenTiff()
{
    InstallTiffHandlers();
    const int fd = ::dup(m_fd);
    if (fd < 0) {
        return false;
    }
    m_tiff = TIFFFdOpen(fd, QFile::encodeName(m_path).constData(), "r");
    if (m_tiff == nullptr) {
        ::close(fd);
        return false;
    }
    m_kind = Tiff;
    m_reducer.reset(new TiffReducer(m_tiff));
    if (m_reducer->IsSupported()) {
        m_size = m_reducer->Size();
        return true;
    }
    // Qt's reader decodes what the reducer does not; it tells the size.
    m_reducer.reset();
    TIFFClose(m_tiff);
    m_tiff = nullptr;
    return false;
}

bool PageReader::IsBilevel() const
{
    return m_reducer != nullptr && m_reducer->IsBilevel();
}

int PageReader::FactorFor(const QSize& least) const
{
    if (!IsValid()) {
        return 1;
    }
    const int needW = std::max(1, least.width());
    const int needH = std::max(1, least.height());
    if (m_kind == Jpeg) {
        for (int factor : kJpegFactors) {
            if (m_size.width() / factor >= needW && m_size.height() / factor >= needH) {
                return factor;
            }
        }
        return 1;
    }
    return std::max(1, std::min(m_size.width() / needW, m_size.height() / needH));
}

QImage PageReader::Read(int factor)
{
    if (!IsValid()) {
        return QImage();
    }
    if (factor <= 1) {
        return ReadWithQt(QSize());
    }
    if (m_reducer != nullptr) {
        return m_reducer->Read(factor);
    }
    // Rounded down: the JPEG decoder then takes exactly this factor.
    return ReadWithQt(QSize(std::max(1, m_size.width() / factor), std::max(1, m_size.height() / factor)));
}

QImage PageReader::ReadAt(const QSize& size, double sharpness)
{
    if (!IsValid() || size.isEmpty()) {
        return QImage();
    }
    const QSize least(qCeil(size.width() * sharpness), qCeil(size.height() * sharpness));
    const int factor = FactorFor(least);
    if (m_reducer == nullptr && factor == FactorFor(size)) {
        // Qt's reader takes the same reduction itself and scales in one go.
        return ReadWithQt(size);
    }
    const QImage image = Read(factor);
    if (image.isNull() || image.size() == size) {
        return image;
    }
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage PageReader::ReadWithQt(const QSize& scaled)
{
    QFile file;
    if (::lseek(m_fd, 0, SEEK_SET) != 0 ||
        !file.open(m_fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        return QImage();
    }
    QImageReader reader(&file);
    if (scaled.isValid()) {
        reader.setScaledSize(scaled);
    }
    return reader.read();
}

bool PageReader::IsQuick(int factor) const
{
    const qint64 pixels = qint64(m_size.width()) * m_size.height();
    if (!IsValid() || pixels <= kQuickPixels) {
        return true;
    }
    if (m_reducer != nullptr) {
        // A full read goes through Qt's reader, which is as fast as the
        // reducer for 1-bit pages and slower for others.
        const qint64 bytes = m_reducer->RawBytes();
        return IsBilevel() ? bytes <= kQuickBilevelBytes : (factor > 1 && bytes <= kQuickSampleBytes);
    }
    return m_kind == Jpeg && factor >= 4;
}
