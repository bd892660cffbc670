// Draws the program's icons and start-up pictures into the given folder:
//   scanvy-icongen <out-dir>
// writes <out-dir>/32x32/*.png, <out-dir>/64x64/scanvy.png and
// <out-dir>/splash{cn,tw,en}.png.
#include "glyphs.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

namespace {
bool Write(const QImage& image, const QString& path)
{
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "scanvy-icongen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: scanvy-icongen <out-dir>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out + QStringLiteral("/32x32")) || !QDir().mkpath(out + QStringLiteral("/64x64"))) {
        std::fprintf(stderr, "scanvy-icongen: cannot create %s\n", qPrintable(out));
        return 1;
    }
    bool ok = true;
    for (const auto& glyph : DrawActionGlyphs()) {
        ok = Write(glyph.second, out + QStringLiteral("/32x32/") + glyph.first) && ok;
    }
    ok = Write(DrawApplicationIcon(64), out + QStringLiteral("/64x64/scanvy.png")) && ok;
    const QString version = QStringLiteral(" 4.1.2");
    ok = Write(DrawSplash(QStringLiteral("泽科维扫描软件"), QStringLiteral("正在启动，请稍候……") + version),
               out + QStringLiteral("/splashcn.png")) &&
         ok;
    ok = Write(DrawSplash(QStringLiteral("澤科維掃描軟件"), QStringLiteral("正在啟動，請稍候……") + version),
               out + QStringLiteral("/splashtw.png")) &&
         ok;
    ok = Write(
             DrawSplash(QStringLiteral("Zekewei Scan"), QStringLiteral("Starting, please wait...") + version),
             out + QStringLiteral("/splashen.png")) &&
         ok;
    return ok ? 0 : 1;
}
