// Draws the simulator's text pages: every page of a truth file (pages begin
// at a "---" line, '#' lines are comments) as an 8-bit grey PGM image of
// printed lines at 300 dpi, "page1.pgm", "page2.pgm", ... in the output
// folder. The simulated scanners copy these images into the pages they scan.
//
//   scanvy-simtext <truth file> <output folder>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cstdio>

namespace {

const int kDpi = 300;     // of the images, as the drivers expect them
const int kPoints = 16;   // type size
const int kWidthMm = 180; // of the printed block
const char kFontFile[] = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";

QList<QStringList> ReadPages(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly | QIODevice::Text);
    QList<QStringList> pages;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    while (*ok && !in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        if (line == QLatin1String("---")) {
            pages.append(QStringList());
        } else if (!line.isEmpty() && !pages.isEmpty()) {
            pages.last().append(line);
        }
    }
    return pages;
}

QImage Draw(const QStringList& lines, const QFont& font)
{
    const QFontMetrics metrics(font);
    const int spacing = metrics.lineSpacing() * 3 / 2;
    const int margin = metrics.height() / 2;
    const int width = qRound(kWidthMm * kDpi / 25.4);
    QImage image(width, 2 * margin + spacing * lines.size(), QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    int baseline = margin + metrics.ascent();
    for (const QString& line : lines) {
        painter.drawText(QPoint(0, baseline), line);
        baseline += spacing;
    }
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: scanvy-simtext <truth file> <output folder>\n");
        return 2;
    }
    bool ok = false;
    const QList<QStringList> pages = ReadPages(QString::fromLocal8Bit(argv[1]), &ok);
    if (!ok || pages.isEmpty()) {
        std::fprintf(stderr, "scanvy-simtext: no pages in %s\n", argv[1]);
        return 1;
    }
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kFontFile));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        std::fprintf(stderr, "scanvy-simtext: cannot load %s (fonts-noto-cjk)\n", kFontFile);
        return 1;
    }
    QFont font(families.first());
    font.setPixelSize(qRound(kPoints * kDpi / 72.0));
    font.setKerning(false);

    QDir out(QString::fromLocal8Bit(argv[2]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "scanvy-simtext: cannot create %s\n", argv[2]);
        return 1;
    }
    // Pages of an older, longer truth file would be taken as more pages.
    for (const QString& old : out.entryList({QStringLiteral("page*.pgm")}, QDir::Files)) {
        out.remove(old);
    }
    for (int i = 0; i < pages.size(); ++i) {
        const QString path = out.filePath(QStringLiteral("page%1.pgm").arg(i + 1));
        if (!Draw(pages.at(i), font).save(path, "PGM")) {
            std::fprintf(stderr, "scanvy-simtext: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
