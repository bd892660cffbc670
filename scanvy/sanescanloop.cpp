// The scan loop of SaneScan: one sane_start per sheet, one page file per
// page, written under a ".part" name and renamed when complete.
#include "sanescan.h"

#include "imagebuffer.h"
#include "pagewriter.h"

#include <QFile>
#include <QMutexLocker>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const char kProgram[] = "scanvy";
constexpr int kMaxPathBytes = 4095;

bool isSeparateColour(SANE_Frame f)
{
    return f == SANE_FRAME_RED || f == SANE_FRAME_GREEN || f == SANE_FRAME_BLUE;
}

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

} // namespace

int SaneScan::Scan(QString basePath, QString format, int firstNumber, int minDigits_, int pageLimit_)
{
    extension = format;
    fileCounter = firstNumber;
    minDigits = minDigits_;
    pageLimit = pageLimit_;
    bool pageCut = false;
    const int status = scanPages(basePath, pageCut);
    // An empty feeder after at least one page ends the batch normally; a page
    // cut off half-way by the same status is a failed page, not success.
    if (fileCounter > firstNumber &&
        (status == SANE_STATUS_GOOD || (status == SANE_STATUS_NO_DOCS && !pageCut)))
        return SANE_STATUS_GOOD;
    return status;
}

QString SaneScan::pagePath(const QString& basePath) const
{
    const QString number = QString::number(fileCounter).rightJustified(minDigits, QLatin1Char('0'));
    return QStringLiteral("%1%2.%3").arg(basePath, number, extension);
}

int SaneScan::scanPages(const QString& basePath, bool& pageCut)
{
    pageCut = false;
    if (handle == nullptr)
        return SANE_STATUS_INVAL;
    {
        QMutexLocker calls(&callLock);
        resolution = get_resolution();
    }

    int status = SANE_STATUS_GOOD;
    int pages = 0;
    for (;;) {
        {
            QMutexLocker calls(&callLock);
            SANE_Handle h = handle;
            status = h != nullptr ? sane_start(h) : SANE_STATUS_INVAL;
        }
        if (status != SANE_STATUS_GOOD)
            break;

        const QString path = pagePath(basePath);
        outputFormat = PageWriter::formatForPath(path);
        const QByteArray local = QFile::encodeName(path);
        if (local.size() > kMaxPathBytes) {
            std::fprintf(stderr, "%s: page file name too long\n", kProgram);
            status = SANE_STATUS_ACCESS_DENIED;
            break;
        }
        const QByteArray part = local + ".part";

        buffer = static_cast<uint8_t*>(std::malloc(bufferSize));
        if (buffer == nullptr) {
            status = SANE_STATUS_NO_MEM;
            break;
        }
        FILE* file = std::fopen(part.constData(), "wb");
        if (file == nullptr) {
            std::free(buffer);
            buffer = nullptr;
            status = SANE_STATUS_ACCESS_DENIED;
            break;
        }

        status = inner_scan(file);
        if (status == SANE_STATUS_GOOD || status == SANE_STATUS_EOF) {
            if (std::fclose(file) != 0)
                status = SANE_STATUS_ACCESS_DENIED;
            else if (std::rename(part.constData(), local.constData()) != 0)
                status = SANE_STATUS_ACCESS_DENIED;
            else
                status = SANE_STATUS_GOOD;
        } else {
            std::fclose(file);
            pageCut = true;
        }
        std::free(buffer);
        buffer = nullptr;

        ++fileCounter;
        if (status == SANE_STATUS_INVAL) {
            std::remove(part.constData());
            --fileCounter;
        } else {
            emit sglScanOneImageDone(QFile::decodeName(local));
        }
        ++pages;
        if (pages == pageLimit || status != SANE_STATUS_GOOD)
            break;
    }
    QMutexLocker calls(&callLock);
    if (SANE_Handle h = handle)
        sane_cancel(h);
    return status;
}

PageGeometry SaneScan::geometryOf(const SANE_Parameters& p) const
{
    PageGeometry g;
    g.rgb = p.format != SANE_FRAME_GRAY;
    g.depth = p.depth;
    g.pixelsPerLine = p.pixels_per_line;
    g.bytesPerLine = p.bytes_per_line;
    g.lines = p.lines;
    g.resolution = resolution;
    return g;
}

SANE_Status SaneScan::checkFrame(const SANE_Parameters& p, const SANE_Parameters* first) const
{
    bool supported = false;
    if (first == nullptr) {
        if (p.format == SANE_FRAME_GRAY)
            supported = p.depth == 1 || p.depth == 8 || p.depth == 16;
        else if (p.format == SANE_FRAME_RGB)
            supported = p.depth == 8 || p.depth == 16;
        else if (isSeparateColour(p.format))
            supported = p.depth == 8;
        supported = supported && p.pixels_per_line > 0;
    } else {
        // Later frames continue a separate colour page with the same shape.
        supported = isSeparateColour(first->format) && isSeparateColour(p.format) && p.depth == 8 &&
                    p.bytes_per_line == first->bytes_per_line && p.pixels_per_line == first->pixels_per_line;
    }
    // Rows may carry padding after their pixels, but never fewer bytes than
    // the pixels need.
    const int64_t pixelBits = int64_t(p.pixels_per_line) * (p.format == SANE_FRAME_RGB ? 3 : 1) * p.depth;
    supported = supported && p.bytes_per_line > 0 && int64_t(p.bytes_per_line) >= (pixelBits + 7) / 8;
    if (supported)
        return SANE_STATUS_GOOD;
    std::fprintf(stderr, "%s: unsupported frame (format %d, depth %d, %d bytes per line)\n", kProgram,
                 int(p.format), p.depth, p.bytes_per_line);
    return SANE_STATUS_INVAL;
}

SANE_Status SaneScan::writeBuffered(FILE* file, ImageBuffer& image, const SANE_Parameters& first,
                                    bool separate)
{
    PageGeometry g = geometryOf(first);
    g.rgb = separate || first.format == SANE_FRAME_RGB;
    g.bytesPerLine = image.width();
    g.lines = image.rows();
    std::unique_ptr<PageWriter> writer = PageWriter::create(outputFormat, file);
    if (!writer)
        return SANE_STATUS_NO_MEM;
    SANE_Status status = writer->begin(g);
    if (status == SANE_STATUS_GOOD)
        status = writer->write(image.data(), size_t(g.bytesPerLine) * size_t(g.lines));
    if (status == SANE_STATUS_GOOD)
        status = writer->finish();
    return status;
}

// Reads the data of one frame until the device ends it. Each chunk goes to
// the page writer (streamed pages) or into the image buffer.
SANE_Status SaneScan::readFrame(const SANE_Parameters& p, PageWriter* writer, ImageBuffer& image,
                                bool separate, int channel, FrameRead& read)
{
    const int64_t expected = read.expected;
    SANE_Status status = SANE_STATUS_GOOD;
    for (;;) {
        SANE_Int len = 0;
        {
            QMutexLocker calls(&callLock);
            SANE_Handle h = handle;
            if (h == nullptr) {
                // The device was closed under the running page: the page is
                // not complete, whatever has been read so far.
                read.gone = true;
                return SANE_STATUS_CANCELLED;
            }
            status = sane_read(h, buffer, SANE_Int(bufferSize), &len);
        }
        if (status != SANE_STATUS_GOOD)
            return status;
        if (len <= 0)
            continue;
        // Over-run guard: data past the announced size is never written,
        // and a device that goes clearly beyond it ends the page.
        size_t n = size_t(len);
        if (expected > 0 && read.total + len > expected)
            n = read.total < expected ? size_t(expected - read.total) : 0;
        read.total += len;
        if (writer) {
            if (SANE_Status s = writer->write(buffer, n); s != SANE_STATUS_GOOD)
                return s;
        } else if (!image.store(buffer, n, p.bytes_per_line, separate ? 3 : 1, channel)) {
            std::fprintf(stderr, "%s: can't allocate image buffer (%dx%d)\n", kProgram, image.width(),
                         image.height() + ImageBuffer::kStripe);
            return SANE_STATUS_NO_MEM;
        }
        if (expected > 0 && read.total * 100 / expected > 100) {
            std::fprintf(stderr, "%s: device sent more data than announced; page ended\n", kProgram);
            read.ended = true;
            return status;
        }
    }
}

// Reads one page (one frame, or three separate colour frames) into `file`.
// Pages of known size are streamed; pages of unknown length and separate
// colour pages are collected in memory and written at the end.
int SaneScan::inner_scan(FILE* file)
{
    if (handle == nullptr)
        return SANE_STATUS_INVAL;
    std::unique_ptr<PageWriter> writer;
    ImageBuffer image;
    SANE_Parameters first{};
    bool haveFirst = false;
    bool separate = false;
    int64_t expected = 0; // bytes announced for the whole page, 0 when unknown
    int64_t total = 0;
    SANE_Status status = SANE_STATUS_GOOD;
    bool ended = false; // the device is gone or sent more than announced

    while (!ended) {
        SANE_Parameters p{};
        {
            QMutexLocker calls(&callLock);
            SANE_Handle h = handle;
            if (h == nullptr) // closed before the page's (next) frame
                return haveFirst ? SANE_STATUS_CANCELLED : SANE_STATUS_INVAL;
            if (haveFirst && (status = sane_start(h)) != SANE_STATUS_GOOD)
                return status;
            if ((status = sane_get_parameters(h, &p)) != SANE_STATUS_GOOD)
                return status;
        }
        if ((status = checkFrame(p, haveFirst ? &first : nullptr)) != SANE_STATUS_GOOD)
            return status;
        if (!haveFirst) {
            haveFirst = true;
            first = p;
            separate = isSeparateColour(p.format);
            if (p.lines > 0)
                expected = int64_t(p.bytes_per_line) * p.lines * (separate ? 3 : 1);
            if (p.lines < 0 || separate) {
                const int rowBytes = separate ? p.bytes_per_line * 3 : p.bytes_per_line;
                if (!image.allocate(rowBytes, p.lines > 0 ? p.lines + 1 : ImageBuffer::kStripe)) {
                    std::fprintf(stderr, "%s: can't allocate image buffer (%dx%d)\n", kProgram, rowBytes,
                                 p.lines > 0 ? p.lines + 1 : ImageBuffer::kStripe);
                    return SANE_STATUS_NO_MEM;
                }
            } else {
                writer = PageWriter::create(outputFormat, file);
                if (!writer)
                    return SANE_STATUS_NO_MEM;
                if ((status = writer->begin(geometryOf(p))) != SANE_STATUS_GOOD)
                    return status;
            }
        } else {
            image.rewind();
        }
        const int channel = separate ? int(p.format) - int(SANE_FRAME_RED) : 0;

        FrameRead read{expected, total, false, false};
        status = readFrame(p, writer.get(), image, separate, channel, read);
        total = read.total;
        ended = read.ended;
        if (read.gone || (!ended && status != SANE_STATUS_EOF))
            return status;
        if (p.last_frame)
            break;
    }
    const SANE_Status done = writer ? writer->finish() : writeBuffered(file, image, first, separate);
    return done != SANE_STATUS_GOOD ? done : status;
}
