#include "pagefile.h"

#include "jpeginfo.h"
#include "ownfile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cstring>
#include <sys/stat.h>

namespace {

// Reads one unsigned value of `size` bytes (2 or 4) at `at`.
bool ReadUnsigned(const QByteArray& data, qint64 at, int size, bool little, quint32* value)
{
    if (at < 0 || at + size > data.size()) {
        return false;
    }
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + at;
    quint32 v = 0;
    for (int i = 0; i < size; ++i) {
        const int shift = little ? 8 * i : 8 * (size - 1 - i);
        v |= quint32(p[i]) << shift;
    }
    *value = v;
    return true;
}

// The values of one IFD entry of type SHORT (3) or LONG (4).
bool TiffValues(const QByteArray& data, qint64 entry, bool little, QList<quint32>* values)
{
    quint32 type = 0;
    quint32 count = 0;
    if (!ReadUnsigned(data, entry + 2, 2, little, &type) ||
        !ReadUnsigned(data, entry + 4, 4, little, &count)) {
        return false;
    }
    const int size = type == 3 ? 2 : type == 4 ? 4 : 0;
    if (size == 0 || count == 0 || qint64(count) * size > data.size()) {
        return false;
    }
    qint64 at = entry + 8;
    if (qint64(count) * size > 4) {
        quint32 offset = 0;
        if (!ReadUnsigned(data, entry + 8, 4, little, &offset)) {
            return false;
        }
        at = offset;
    }
    values->clear();
    for (quint32 i = 0; i < count; ++i) {
        quint32 value = 0;
        if (!ReadUnsigned(data, at + qint64(i) * size, size, little, &value)) {
            return false;
        }
        values->append(value);
    }
    return true;
}

bool IsTiffWhole(const QByteArray& data)
{
    if (data.size() < 8) {
        return false;
    }
    const bool little = data.startsWith(QByteArray("II*\0", 4));
    const bool big = data.startsWith(QByteArray("MM\0*", 4));
    if (!little && !big) {
        return false;
    }
    quint32 ifd = 0;
    quint32 entries = 0;
    if (!ReadUnsigned(data, 4, 4, little, &ifd) || ifd < 8 || !ReadUnsigned(data, ifd, 2, little, &entries) ||
        entries == 0) {
        return false;
    }
    QList<quint32> width;
    QList<quint32> height;
    QList<quint32> offsets;
    QList<quint32> counts;
    for (quint32 i = 0; i < entries; ++i) {
        const qint64 entry = qint64(ifd) + 2 + qint64(i) * 12;
        quint32 tag = 0;
        quint32 type = 0;
        quint32 count = 0;
        if (!ReadUnsigned(data, entry, 2, little, &tag) || !ReadUnsigned(data, entry + 2, 2, little, &type) ||
            !ReadUnsigned(data, entry + 4, 4, little, &count)) {
            return false;
        }
        // A value too big for the entry lies elsewhere, and must lie inside.
        static const int kTypeSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
        const qint64 size = type < 13 ? qint64(kTypeSize[type]) * count : 0;
        quint32 offset = 0;
        if (size > 4 && (!ReadUnsigned(data, entry + 8, 4, little, &offset) || offset + size > data.size())) {
            return false;
        }
        QList<quint32>* target = tag == 256   ? &width
                                 : tag == 257 ? &height
                                 : tag == 273 ? &offsets
                                 : tag == 279 ? &counts
                                              : nullptr;
        if (target && !TiffValues(data, entry, little, target)) {
            return false;
        }
    }
    quint32 next = 0; // the offset of the next directory ends this one
    if (!ReadUnsigned(data, qint64(ifd) + 2 + qint64(entries) * 12, 4, little, &next)) {
        return false;
    }
    if (width.value(0) == 0 || height.value(0) == 0 || offsets.isEmpty() || offsets.size() != counts.size()) {
        return false;
    }
    for (int i = 0; i < offsets.size(); ++i) {
        if (counts.at(i) == 0 || qint64(offsets.at(i)) + counts.at(i) > data.size()) {
            return false;
        }
    }
    return true;
}

bool IsPngWhole(const QByteArray& data)
{
    static const char kSignature[] = "\x89PNG\r\n\x1a\n";
    static const char kEnd[] = "\0\0\0\0IEND\xae\x42\x60\x82";
    return data.size() >= 8 + 25 + 12 && std::memcmp(data.constData(), kSignature, 8) == 0 &&
           data.mid(12, 4) == "IHDR" && std::memcmp(data.constData() + data.size() - 12, kEnd, 12) == 0;
}

// The next whitespace-separated number of a PNM header (comments skipped).
bool PnmNumber(const QByteArray& data, int* at, qint64* value)
{
    while (*at < data.size()) {
        const char c = data.at(*at);
        if (c == '#') {
            while (*at < data.size() && data.at(*at) != '\n') {
                ++*at;
            }
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++*at;
        } else {
            break;
        }
    }
    const int start = *at;
    qint64 v = 0;
    while (*at < data.size() && data.at(*at) >= '0' && data.at(*at) <= '9' && *at - start < 9) {
        v = v * 10 + (data.at(*at) - '0');
        ++*at;
    }
    *value = v;
    return *at > start && *at < data.size();
}

bool IsPnmWhole(const QByteArray& data)
{
    if (data.size() < 3 || data.at(0) != 'P' || data.at(1) < '4' || data.at(1) > '6') {
        return false;
    }
    const char kind = data.at(1);
    int at = 2;
    qint64 width = 0;
    qint64 height = 0;
    qint64 maxValue = 1;
    if (!PnmNumber(data, &at, &width) || !PnmNumber(data, &at, &height) ||
        (kind != '4' && !PnmNumber(data, &at, &maxValue))) {
        return false;
    }
    if (width <= 0 || height <= 0 || maxValue <= 0 || maxValue > 65535) {
        return false;
    }
    ++at; // the single whitespace that ends the header
    const qint64 sample = maxValue > 255 ? 2 : 1;
    const qint64 row = kind == '4' ? (width + 7) / 8 : width * sample * (kind == '6' ? 3 : 1);
    return data.size() - at >= row * height;
}

} // namespace

bool IsPageComplete(const QString& path)
{
    // The page file itself, never what a link in its place points to.
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString PartialPagePath(const QString& path)
{
    return path + QStringLiteral(".part");
}

bool IsPageWhole(const QString& path)
{
    QFile file;
    if (!OwnFile::OpenFile(path, &file) || file.size() == 0) {
        return false;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QByteArray data = file.readAll();
    if (data.size() != file.size()) {
        return false;
    }
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) {
        return JpegInfo::IsComplete(data);
    }
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff")) {
        return IsTiffWhole(data);
    }
    if (suffix == QLatin1String("png")) {
        return IsPngWhole(data);
    }
    if (suffix == QLatin1String("pnm") || suffix == QLatin1String("pbm") || suffix == QLatin1String("pgm") ||
        suffix == QLatin1String("ppm")) {
        return IsPnmWhole(data);
    }
    file.seek(0);
    QImageReader reader(&file);
    return reader.canRead() && reader.size().isValid() && !reader.size().isEmpty();
}
