#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs an independent tool and returns its standard output (stderr merged
// when asked). An empty result with a failing exit makes the calling test
// fail through the compare that follows.
inline QString runTool(const QString& program, const QStringList& args, bool mergeErrors = false)
{
    QProcess p;
    if (mergeErrors)
        p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Pixel bytes of a PNM file (P4/P5/P6), skipping its header and comments.
inline QByteArray pnmPixels(const QByteArray& file, int* width = nullptr, int* height = nullptr)
{
    int fields = 0;
    const int wanted = (file.startsWith("P4")) ? 3 : 4;
    int values[4] = {0, 0, 0, 0};
    int i = 0;
    while (i < file.size() && fields < wanted) {
        const char c = file[i];
        if (c == '#') {
            while (i < file.size() && file[i] != '\n')
                ++i;
        } else if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
            ++i;
        } else {
            int start = i;
            while (i < file.size() && !QChar(file[i]).isSpace())
                ++i;
            const QByteArray tok = file.mid(start, i - start);
            values[fields] = fields == 0 ? 0 : tok.toInt();
            ++fields;
        }
    }
    if (width)
        *width = values[1];
    if (height)
        *height = values[2];
    return file.mid(i + 1); // exactly one white-space byte after the last field
}
