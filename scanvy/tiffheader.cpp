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
    void U16(quint16 v)
    {
        if (m_big) {
            m_out.append(char(v >> 8)).append(char(v));
        } else {
            m_out.append(char(v)).append(char(v >> 8));
        }
    }
    void U32(quint32 v)
    {
        if (m_big) {
            U16(quint16(v >> 16));
            U16(quint16(v));
        } else {
            U16(quint16(v));
            U16(quint16(v >> 16));
        }
    }
    void Entry(const Entry& e)
    {
        U16(e.tag);
        U16(e.type);
        U32(e.count);
        if (e.type == Short && e.count == 1) {
            U16(quint16(e.value));
            U16(0);
        } else {
            U32(e.value);
        }
    }
    QByteArray Take() { return m_out; }

private:
    bool m_big;
    QByteArray m_out;
};

// The figures of one header that the entries and values are made of.
struct Layout {
    Layout(bool rgb, int depth, int pixelsPerLine, int lines, int resolution)
        : rgb(rgb), bilevel(!rgb && depth == 1), withRes(resolution >= 1), depth(depth),
          resolution(resolution), width(quint32(pixelsPerLine)), height(quint32(lines)),
          maxSample(depth > 8 ? 65535 : 255)
    {
        const int count = (bilevel ? 12 : 13) + (withRes ? 3 : 0);
        afterDirectory = 14 + 12 * quint32(count);
        resOffset = rgb ? afterDirectory + 18 : afterDirectory;
        dataOffset = resOffset + (withRes ? 16 : 0);
        const quint32 bytesPerSample = depth > 8 ? 2 : 1;
        byteCount = bilevel ? ((width + 7) / 8) * height : width * height * (rgb ? 3 : 1) * bytesPerSample;
    }

    quint16 SizeType() const { return (width < 65536 && height < 65536) ? Short : Long; }
    quint32 Photometric() const { return rgb ? 2 : (bilevel ? 0 : 1); }

    bool rgb;
    bool bilevel;
    bool withRes;
    int depth;
    int resolution;
    quint32 width;
    quint32 height;
    quint16 maxSample;
    quint32 afterDirectory = 0; // D: the first byte after the directory
    quint32 resOffset = 0;
    quint32 dataOffset = 0;
    quint32 byteCount = 0;
};

QVector<Entry> EntriesFor(const Layout& l)
{
    const quint32 d = l.afterDirectory;
    QVector<Entry> entries;
    entries << Entry{254, Long, 1, 0};
    entries << Entry{256, l.SizeType(), 1, l.width};
    entries << Entry{257, l.SizeType(), 1, l.height};
    entries << (l.rgb ? Entry{258, Short, 3, d} : Entry{258, Short, 1, quint32(l.bilevel ? 1 : l.depth)});
    entries << Entry{259, Short, 1, 1};
    entries << Entry{262, Short, 1, l.Photometric()};
    if (l.bilevel)
        entries << Entry{266, Short, 1, 1};
    entries << Entry{273, Long, 1, l.dataOffset};
    entries << Entry{274, Short, 1, 1};
    entries << Entry{277, Short, 1, l.rgb ? 3u : 1u};
    entries << Entry{278, Long, 1, l.height};
    entries << Entry{279, Long, 1, l.byteCount};
    if (l.rgb) {
        entries << Entry{280, Short, 3, d + 6};
        entries << Entry{281, Short, 3, d + 12};
    } else if (!l.bilevel) {
        entries << Entry{280, Short, 1, 0};
        entries << Entry{281, Short, 1, l.maxSample};
    }
    if (l.withRes) {
        entries << Entry{282, Rational, 1, l.resOffset};
        entries << Entry{283, Rational, 1, l.resOffset + 8};
        entries << Entry{296, Short, 1, 2};
    }
    return entries;
}

// The directory's out-of-line values, in the order the offsets above give.
void WriteValues(Writer& w, const Layout& l)
{
    if (l.rgb) {
        for (quint16 v : {quint16(l.depth), quint16(0), l.maxSample}) {
            for (int i = 0; i < 3; ++i)
                w.U16(v);
        }
    }
    if (l.withRes) {
        for (int i = 0; i < 2; ++i) {
            w.U32(quint32(l.resolution));
            w.U32(1);
        }
    }
}

} // namespace

QByteArray TiffHeader::Build(bool rgb, int depth, int pixelsPerLine, int lines, int resolution)
{
    const Layout layout(rgb, depth, pixelsPerLine, lines, resolution);
    const QVector<Entry> entries = EntriesFor(layout);
    const bool bigEndian = depth <= 8;
    Writer w(bigEndian);
    w.U16(bigEndian ? 0x4D4D : 0x4949);
    w.U16(42);
    w.U32(8);
    w.U16(quint16(entries.size()));
    for (const Entry& e : entries)
        w.Entry(e);
    w.U32(0);
    WriteValues(w, layout);
    return w.Take();
}
