// Draws the program's icons and start-up pictures.
//   scanvy-icongen <out-dir>
//     writes <out-dir>/32x32/*.png, <out-dir>/64x64/scanvy.png and
//     <out-dir>/splash{cn,tw,en}.png (the built-in resources);
//   scanvy-icongen --theme <out-dir> <icon-name> <size>...
//     writes the application icon for the hicolor icon theme:
//     <out-dir>/<n>x<n>/apps/<icon-name>.png for every given size and
//     <out-dir>/scalable/apps/<icon-name>.svg.
#include "appicon.h"
#include "glyphs.h"

#include <QDir>
#include <QFile>
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

bool MakeDir(const QString& path)
{
    if (!QDir().mkpath(path)) {
        std::fprintf(stderr, "scanvy-icongen: cannot create %s\n", qPrintable(path));
        return false;
    }
    return true;
}

int WriteResources(const QString& out)
{
    if (!MakeDir(out + QStringLiteral("/32x32")) || !MakeDir(out + QStringLiteral("/64x64"))) {
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

int WriteThemeIcons(const QString& out, const QString& name, const QList<int>& sizes)
{
    bool ok = true;
    for (int size : sizes) {
        const QString dir = out + QStringLiteral("/%1x%1/apps").arg(size);
        ok = MakeDir(dir) &&
             Write(DrawApplicationIcon(size), dir + QLatin1Char('/') + name + QStringLiteral(".png")) && ok;
    }
    const QString dir = out + QStringLiteral("/scalable/apps");
    QFile svg(dir + QLatin1Char('/') + name + QStringLiteral(".svg"));
    const QByteArray data = ApplicationIconSvg();
    if (!MakeDir(dir) || !svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svg.write(data) != data.size() || !svg.flush()) {
        std::fprintf(stderr, "scanvy-icongen: cannot write %s\n", qPrintable(svg.fileName()));
        ok = false;
    }
    return ok ? 0 : 1;
}
} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1) {
        return WriteResources(args.at(0));
    }
    if (args.size() >= 4 && args.at(0) == QLatin1String("--theme") && !args.at(2).isEmpty()) {
        QList<int> sizes;
        for (const QString& arg : args.mid(3)) {
            bool ok = false;
            const int size = arg.toInt(&ok);
            if (!ok || size < 1 || size > 1024) {
                std::fprintf(stderr, "scanvy-icongen: bad icon size %s\n", qPrintable(arg));
                return 2;
            }
            sizes.append(size);
        }
        return WriteThemeIcons(args.at(1), args.at(2), sizes);
    }
    std::fprintf(stderr, "usage: scanvy-icongen <out-dir>\n"
                         "       scanvy-icongen --theme <out-dir> <icon-name> <size>...\n");
    return 2;
}
