#include "tiffheader.h"

#include <QVector>

namespace {

enum FieldType { Short = 3, Long = 4, Rational = 5 };

struct Entry {
    quint16 tag;
    quint16 type;
    quint32 count;
    quint32 value; // the value itself, or an offset for out-of-line data
};

class Writer {
public:
    explicit Writer(bool bigEndian) : m_big(bigEndian) {}
    void u16(quint16 v)
    {
        if (m_big) {
            m_out.append(char(v >> 8)).append(char(v));
        } else {
            m_out.append(char(v)).append(char(v >> 8));
        }
    }
    void u32(quint32 v)
    {
        if (m_big) {
            u16(quint16(v >> 16));
            u16(quint16(v));
        } else {
            u16(quint16(v));
            u16(quint16(v >> 16));
        }
    }
    void entry(const Entry& e)
    {
        u16(e.tag);
        u16(e.type);
        u32(e.count);
        if (e.type == Short && e.count == 1) {
            u16(quint16(e.value));
            u16(0);
        } else {
            u32(e.value);
        }
    }
    QByteArray take() { return m_out; }

private:
    bool m_big;
    QByteArray m_out;
};

} // namespace

QByteArray TiffHeader::build(bool rgb, int depth, int pixelsPerLine, int lines, int resolution)
{
    const bool bilevel = !rgb && depth == 1;
    const bool withRes = resolution >= 1;
    const quint32 width = quint32(pixelsPerLine);
    const quint32 height = quint32(lines);
    const quint32 bytesPerSample = depth > 8 ? 2 : 1;
    const quint16 maxSample = depth > 8 ? 65535 : 255;
    const quint16 sizeType = (width < 65536 && height < 65536) ? Short : Long;

    int count = bilevel ? 12 : 13;
    if (withRes)
        count += 3;
    const quint32 d = 14 + 12 * quint32(count);
    const quint32 resOffset = rgb ? d + 18 : d;
    const quint32 dataOffset = (rgb ? d + 18 : d) + (withRes ? 16 : 0);
    const quint32 byteCount =
        bilevel ? ((width + 7) / 8) * height : width * height * (rgb ? 3 : 1) * bytesPerSample;

    QVector<Entry> entries;
    entries << Entry{254, Long, 1, 0};
    entries << Entry{256, sizeType, 1, width};
    entries << Entry{257, sizeType, 1, height};
    entries << (rgb ? Entry{258, Short, 3, d} : Entry{258, Short, 1, quint32(bilevel ? 1 : depth)});
    entries << Entry{259, Short, 1, 1};
    entries << Entry{262, Short, 1, rgb ? 2u : (bilevel ? 0u : 1u)};
    if (bilevel)
        entries << Entry{266, Short, 1, 1};
    entries << Entry{273, Long, 1, dataOffset};
    entries << Entry{274, Short, 1, 1};
    entries << Entry{277, Short, 1, rgb ? 3u : 1u};
    entries << Entry{278, Long, 1, height};
    entries << Entry{279, Long, 1, byteCount};
    if (rgb) {
        entries << Entry{280, Short, 3, d + 6};
        entries << Entry{281, Short, 3, d + 12};
    } else if (!bilevel) {
        entries << Entry{280, Short, 1, 0};
        entries << Entry{281, Short, 1, maxSample};
    }
    if (withRes) {
        entries << Entry{282, Rational, 1, resOffset};
        entries << Entry{283, Rational, 1, resOffset + 8};
        entries << Entry{296, Short, 1, 2};
    }

    const bool bigEndian = depth <= 8;
    Writer w(bigEndian);
    w.u16(bigEndian ? 0x4D4D : 0x4949);
    w.u16(42);
    w.u32(8);
    w.u16(quint16(entries.size()));
    for (const Entry& e : entries)
        w.entry(e);
    w.u32(0);
    if (rgb) {
        for (int i = 0; i < 3; ++i)
            w.u16(quint16(depth));
        for (int i = 0; i < 3; ++i)
            w.u16(0);
        for (int i = 0; i < 3; ++i)
            w.u16(maxSample);
    }
    if (withRes) {
        w.u32(quint32(resolution));
        w.u32(1);
        w.u32(quint32(resolution));
        w.u32(1);
    }
    return w.take();
}
