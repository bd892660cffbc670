#include "ocrpage.h"

#include "pageimage.h"

#include <QFontMetrics>
#include <QPainter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTransform>

#include <algorithm>
#include <vector>

namespace OcrPage {

namespace {

bool IsWide(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0x3000 && u <= 0x303F) ||
           (u >= 0xFF00 && u <= 0xFFEF);
}

// The words of `line` with the offset of each in characters.
QVector<QPair<int, QString>> SplitWords(const QString& line)
{
    QVector<QPair<int, QString>> words;
    int start = -1;
    for (int i = 0; i <= line.size(); ++i) {
        const bool end = i == line.size() || line.at(i).isSpace() || IsWide(line.at(i));
        if (end && start >= 0) {
            words.append(qMakePair(start, line.mid(start, i - start)));
            start = -1;
        }
        if (i < line.size() && IsWide(line.at(i))) {
            words.append(qMakePair(i, line.mid(i, 1)));
        } else if (i < line.size() && !line.at(i).isSpace() && start < 0) {
            start = i;
        }
    }
    return words;
}

QColor PaperOf(Ink ink)
{
    switch (ink) {
    case Ink::Colour:
        return QColor(250, 244, 226);
    case Ink::Grey:
        return QColor(232, 232, 232);
    case Ink::BlackWhite:
        break;
    }
    return Qt::white;
}

QColor InkOf(Ink ink)
{
    return ink == Ink::Colour ? QColor(20, 30, 110) : QColor(35, 35, 35);
}

void AddNoise(QImage* image, Ink ink)
{
    QRandomGenerator random(4711);
    if (ink == Ink::BlackWhite) {
        // One pixel in 500 flipped, like dust on the glass.
        const int flips = image->width() * image->height() / 500;
        for (int i = 0; i < flips; ++i) {
            const int x = random.bounded(image->width());
            const int y = random.bounded(image->height());
            image->setPixel(x, y, image->pixelIndex(x, y) ^ 1);
        }
        return;
    }
    for (int y = 0; y < image->height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image->scanLine(y));
        for (int x = 0; x < image->width(); ++x) {
            const int d = int(random.bounded(25)) - 12;
            const QRgb p = row[x];
            row[x] = qRgb(qBound(0, qRed(p) + d, 255), qBound(0, qGreen(p) + d, 255),
                          qBound(0, qBlue(p) + d, 255));
        }
    }
}

} // namespace

Page Render(const Sheet& sheet)
{
    QFont font(sheet.family);
    font.setPixelSize(qRound(sheet.points * sheet.dpi / 72.0));
    font.setHintingPreference(QFont::PreferNoHinting);
    const QFontMetrics metrics(font);
    const int margin = sheet.dpi / 3;
    const int lineStep = metrics.height() * 3 / 2;
    int width = 0;
    for (const QString& line : sheet.lines) {
        width = std::max(width, metrics.horizontalAdvance(line));
    }
    const QSize size(width + 2 * margin, lineStep * sheet.lines.size() + 2 * margin);

    QImage image(size, QImage::Format_RGB32);
    image.fill(PaperOf(sheet.ink));
    image.setDotsPerMeterX(DotsPerMetre(sheet.dpi));
    image.setDotsPerMeterY(DotsPerMetre(sheet.dpi));
    QTransform turn;
    turn.translate(size.width() / 2.0, size.height() / 2.0);
    turn.rotate(sheet.skew);
    turn.translate(-size.width() / 2.0, -size.height() / 2.0);

    Page page;
    page.truth.pageSize = size;
    const QRect all(QPoint(0, 0), size);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing, sheet.ink != Ink::BlackWhite);
        painter.setTransform(turn);
        painter.setFont(font);
        painter.setPen(InkOf(sheet.ink));
        int baseline = margin + metrics.ascent();
        for (const QString& text : sheet.lines) {
            painter.drawText(QPoint(margin, baseline), text);
            TextLine line;
            for (const auto& word : SplitWords(text)) {
                const int x = margin + metrics.horizontalAdvance(text.left(word.first));
                const QRect ink = metrics.tightBoundingRect(word.second).translated(x, baseline);
                const QRect box = turn.mapRect(QRectF(ink)).toAlignedRect() & all;
                line.words.append(TextWord{word.second, box, 100});
                line.box |= box;
            }
            page.truth.paragraphs.append(TextParagraph{{line}});
            baseline += lineStep;
        }
    }
    if (sheet.ink == Ink::BlackWhite) {
        image = image.convertToFormat(QImage::Format_Grayscale8)
                    .convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
    }
    if (sheet.noise) {
        AddNoise(&image, sheet.ink);
    }
    if (sheet.ink == Ink::Grey) {
        image = image.convertToFormat(QImage::Format_Grayscale8);
    }
    image.setDotsPerMeterX(DotsPerMetre(sheet.dpi));
    image.setDotsPerMeterY(DotsPerMetre(sheet.dpi));
    page.image = image;
    return page;
}

QString Comparable(const QString& text)
{
    QString out;
    for (const QChar c : text.normalized(QString::NormalizationForm_KC)) {
        if (!c.isSpace()) {
            out.append(c);
        }
    }
    return out;
}

int EditDistance(const QString& a, const QString& b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (int j = 0; j <= b.size(); ++j) {
        row[size_t(j)] = j;
    }
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[size_t(j)];
            row[size_t(j)] = std::min(
                {above + 1, row[size_t(j) - 1] + 1, diagonal + (a.at(i - 1) == b.at(j - 1) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[size_t(b.size())];
}

double Overlap(const QRect& a, const QRect& b)
{
    const QRect common = a & b;
    if (a.isEmpty() || b.isEmpty() || common.isEmpty()) {
        return 0.0;
    }
    const double both = double(common.width()) * common.height();
    return both / (double(a.width()) * a.height() + double(b.width()) * b.height() - both);
}

double MatchedWords(const PageText& truth, const PageText& found, double least)
{
    int words = 0;
    int matched = 0;
    for (const TextParagraph& paragraph : truth.paragraphs) {
        for (const TextLine& line : paragraph.lines) {
            for (const TextWord& word : line.words) {
                ++words;
                double best = 0.0;
                for (const TextParagraph& p : found.paragraphs) {
                    for (const TextLine& l : p.lines) {
                        for (const TextWord& w : l.words) {
                            best = std::max(best, Overlap(word.box, w.box));
                        }
                    }
                }
                matched += best >= least ? 1 : 0;
            }
        }
    }
    return words == 0 ? 0.0 : double(matched) / words;
}

QString CommandText(const QString& path, const QString& languages, QString* error)
{
    QProcess tesseract;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
    tesseract.setProcessEnvironment(environment);
    tesseract.start(QStringLiteral("tesseract"),
                    {path, QStringLiteral("stdout"), QStringLiteral("-l"), languages});
    if (!tesseract.waitForFinished(120000) || tesseract.exitStatus() != QProcess::NormalExit ||
        tesseract.exitCode() != 0) {
        *error = QStringLiteral("tesseract: ") + tesseract.errorString() + QLatin1Char(' ') +
                 QString::fromLocal8Bit(tesseract.readAllStandardError());
        return QString();
    }
    return QString::fromUtf8(tesseract.readAllStandardOutput());
}

} // namespace OcrPage
