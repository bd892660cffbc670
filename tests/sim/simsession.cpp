#include "simsession.h"

#include <QFile>
#include <QtGlobal>

#include "simpage.h"

namespace simtest {

bool WriteScenario(const QString& text)
{
    return SimPage::WriteScenario(text);
}

Page ScanPage(SANE_Handle h, int maxLength)
{
    Page page;
    QByteArray chunk(maxLength, '\0');
    for (;;) {
        SANE_Status st = sane_start(h);
        if (page.frames == 0)
            page.startStatus = st;
        if (st != SANE_STATUS_GOOD) {
            page.endStatus = st;
            return page;
        }
        sane_get_parameters(h, &page.params);
        ++page.frames;
        SANE_Int len = 0;
        while ((st = sane_read(h, reinterpret_cast<SANE_Byte*>(chunk.data()), maxLength, &len)) ==
               SANE_STATUS_GOOD)
            page.data.append(chunk.constData(), len);
        page.endStatus = st;
        if (st != SANE_STATUS_EOF || page.params.last_frame || page.frames >= 3)
            return page;
    }
}

QImage ToGray(const Page& page)
{
    const SANE_Parameters& p = page.params;
    int bpl = p.bytes_per_line;
    if (bpl <= 0 || p.pixels_per_line <= 0)
        return {};
    int lines = page.data.size() / bpl;
    if (page.frames > 1)
        lines = page.data.size() / (bpl * page.frames);
    QImage img(p.pixels_per_line, lines, QImage::Format_Grayscale8);
    const auto* src = reinterpret_cast<const uchar*>(page.data.constData());
    if (page.frames > 1)
        src += static_cast<qsizetype>(bpl) * lines; // the green frame
    int samples = p.format == SANE_FRAME_RGB ? 3 : 1;
    for (int y = 0; y < lines; ++y) {
        const uchar* row = src + static_cast<qsizetype>(y) * bpl;
        uchar* out = img.scanLine(y);
        for (int x = 0; x < p.pixels_per_line; ++x) {
            if (p.depth == 1) {
                out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
                continue;
            }
            int v[3];
            for (int i = 0; i < samples; ++i) {
                if (p.depth == 16) {
                    quint16 s;
                    memcpy(&s, row + (x * samples + i) * 2, 2);
                    v[i] = s >> 8;
                } else {
                    v[i] = row[x * samples + i];
                }
            }
            out[x] = samples == 3 ? uchar((v[0] * 77 + v[1] * 150 + v[2] * 29) >> 8) : uchar(v[0]);
        }
    }
    return img;
}

QString Marker(const Page& page, int resolution)
{
    return SimPage::Marker(ToGray(page), resolution);
}

int FindOption(SANE_Handle h, const char* name)
{
    for (int i = 1;; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
        if (!d)
            return -1;
        if (d->name && qstrcmp(d->name, name) == 0)
            return i;
    }
}

SANE_Status SetString(SANE_Handle h, const char* name, const QString& value, SANE_Int* info)
{
    int n = FindOption(h, name);
    if (n < 0)
        return SANE_STATUS_UNSUPPORTED;
    QByteArray buf = value.toUtf8();
    buf.resize(qMax(sane_get_option_descriptor(h, n)->size, int(buf.size()) + 1));
    return sane_control_option(h, n, SANE_ACTION_SET_VALUE, buf.data(), info);
}

SANE_Status SetWord(SANE_Handle h, const char* name, SANE_Word value, SANE_Int* info)
{
    int n = FindOption(h, name);
    if (n < 0)
        return SANE_STATUS_UNSUPPORTED;
    return sane_control_option(h, n, SANE_ACTION_SET_VALUE, &value, info);
}

QString GetString(SANE_Handle h, const char* name)
{
    int n = FindOption(h, name);
    if (n < 0)
        return QStringLiteral("<absent>");
    QByteArray buf(sane_get_option_descriptor(h, n)->size, '\0');
    if (sane_control_option(h, n, SANE_ACTION_GET_VALUE, buf.data(), nullptr) != SANE_STATUS_GOOD)
        return QStringLiteral("<error>");
    return QString::fromUtf8(buf.constData());
}

SANE_Word GetWord(SANE_Handle h, const char* name, SANE_Status* status)
{
    SANE_Word w = 0;
    int n = FindOption(h, name);
    SANE_Status st =
        n < 0 ? SANE_STATUS_UNSUPPORTED : sane_control_option(h, n, SANE_ACTION_GET_VALUE, &w, nullptr);
    if (status)
        *status = st;
    return w;
}

bool IsActive(SANE_Handle h, const char* name)
{
    int n = FindOption(h, name);
    return n >= 0 && SANE_OPTION_IS_ACTIVE(sane_get_option_descriptor(h, n)->cap);
}

} // namespace simtest
