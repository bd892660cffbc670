#include "textpage.h"

#include "pagemaker.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QTest>

namespace TextPage {

namespace {

const char kFontFile[] = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";

bool IsChinese(QChar c)
{
    return (c.unicode() >= 0x3400 && c.unicode() <= 0x9FFF) || c.isHighSurrogate();
}

// The words of a line as recognition splits it, with where each starts in
// the line's text. A Chinese character (also one beyond the first plane,
// two UTF-16 units) is a word of its own.
QVector<QPair<int, QString>> SplitWords(const QString& line)
{
    QVector<QPair<int, QString>> words;
    int start = -1;
    for (int i = 0; i <= line.size(); ++i) {
        const bool end = i == line.size() || line[i].isSpace() || IsChinese(line[i]);
        if (end && start >= 0) {
            words.append({start, line.mid(start, i - start)});
            start = -1;
        }
        if (i == line.size())
            break;
        if (IsChinese(line[i])) {
            const int length = line[i].isHighSurrogate() ? 2 : 1;
            words.append({i, line.mid(i, length)});
            i += length - 1;
        } else if (!line[i].isSpace() && start < 0) {
            start = i;
        }
    }
    return words;
}

QFont PageFont(int pixelSize)
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(kFontFile);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString("Noto Sans CJK SC") : families.first();
    }();
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setKerning(false);
    return font;
}

} // namespace

Page Draw(const QStringList& lines, const QSize& size, int dpi, QImage::Format format)
{
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    const int pixelSize = qMax(12, size.width() / 30);
    const QFont font = PageFont(pixelSize);
    const QFontMetrics metrics(font);
    Page page;
    page.text.pageSize = size;
    page.text.language = "chi_sim+eng";
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(QColor(20, 30, 120));
    const int left = size.width() / 12;
    int baseline = size.height() / 10;
    page.text.paragraphs.append(TextParagraph());
    for (const QString& line : lines) {
        if (line.isEmpty()) {
            if (!page.text.paragraphs.last().lines.isEmpty())
                page.text.paragraphs.append(TextParagraph());
            baseline += metrics.lineSpacing();
            continue;
        }
        painter.drawText(QPoint(left, baseline), line);
        TextLine textLine;
        for (const auto& word : SplitWords(line)) {
            const int x = left + metrics.horizontalAdvance(line.left(word.first));
            const QRect ink = metrics.tightBoundingRect(word.second).translated(x, baseline);
            textLine.words.append(TextWord{word.second, ink, 95});
            textLine.box = textLine.box.united(ink);
        }
        page.text.paragraphs.last().lines.append(textLine);
        baseline += metrics.lineSpacing() * 3 / 2;
    }
    painter.end();
    page.image =
        canvas.convertToFormat(format, format == QImage::Format_Mono ? Qt::ThresholdDither : Qt::AutoColor);
    const int dpm = qRound(dpi / 0.0254);
    page.image.setDotsPerMeterX(dpm);
    page.image.setDotsPerMeterY(dpm);
    return page;
}

QVector<Run> Runs(const PageText& text)
{
    QVector<Run> runs;
    for (const TextParagraph& paragraph : text.paragraphs) {
        for (const TextLine& line : paragraph.lines) {
            QString previous;
            for (const TextWord& word : line.words) {
                if (previous.isEmpty() || SpaceBetween(previous, word.text))
                    runs.append(Run{QString(), QRect()});
                runs.last().text += word.text;
                runs.last().box = runs.last().box.united(word.box);
                previous = word.text;
            }
        }
    }
    return runs;
}

double Overlap(const QRectF& a, const QRectF& b)
{
    const QRectF common = a.intersected(b);
    const double both = common.width() * common.height();
    const double either = a.width() * a.height() + b.width() * b.height() - both;
    return either > 0 ? both / either : 0;
}

const QStringList First = {"档案管理办法", "The quick brown fox jumps over", "", "办公室文件归档 第三号",
                           "Invoice number 2026 total"};
// 𠮷 lies beyond the first plane (two UTF-16 units).
const QStringList Second = {"请查阅 Report 第三章", "Scanned by the office clerk", "", "会议纪要 𠮷野"};
const QSize kSaveSize(1240, 1754);
const int kSaveDpi = 150;

void AddSaveRows()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("angle");
    QTest::addColumn<bool>("multi");
    QTest::addColumn<bool>("sideways");
    QTest::newRow("colour JPEG, upright, one page")
        << "jpg" << int(QImage::Format_RGB32) << 0 << false << false;
    QTest::newRow("grey JPEG, turned 270, document")
        << "jpg" << int(QImage::Format_Grayscale8) << 270 << true << false;
    QTest::newRow("1-bit TIFF, turned 90, document")
        << "tiff" << int(QImage::Format_Mono) << 90 << true << false;
    QTest::newRow("colour TIFF, turned 180, one page")
        << "tiff" << int(QImage::Format_RGB32) << 180 << false << false;
    QTest::newRow("colour PNG, turned 90, one page")
        << "png" << int(QImage::Format_RGB32) << 90 << false << false;
    QTest::newRow("colour JPEG, text sideways, turned 270, document")
        << "jpg" << int(QImage::Format_RGB32) << 270 << true << true;
    QTest::newRow("grey TIFF, text sideways, turned 90, one page")
        << "tiff" << int(QImage::Format_Grayscale8) << 90 << false << true;
    QTest::newRow("colour PNG, text upside down, turned 180, one page")
        << "png" << int(QImage::Format_RGB32) << 180 << false << true;
}

bool WriteRowDocument(const QString& folder, Document* out)
{
    QFETCH(QString, suffix);
    QFETCH(int, format);
    QFETCH(int, angle);
    QFETCH(bool, multi);
    QFETCH(bool, sideways);
    const QList<QStringList> contents =
        multi ? QList<QStringList>{First, Second, QStringList()} : QList<QStringList>{First};
    *out = Document();
    for (int i = 0; i < contents.size(); ++i) {
        const Page page = Draw(contents[i], kSaveSize, kSaveDpi, QImage::Format(format));
        const QString file = folder + QString("/page%1.%2").arg(i).arg(suffix);
        const int scanned = sideways ? 0 : angle;
        if (!PageMaker::write(TurnImage(page.image, -scanned), file))
            return false;
        out->withText << SavePage(file, angle, TurnPageText(page.text, -scanned));
        out->without << SavePage(file, angle);
        out->texts << page.text;
    }
    return true;
}

PageText Blank(PageText text)
{
    for (TextParagraph& paragraph : text.paragraphs) {
        for (TextLine& line : paragraph.lines) {
            for (TextWord& word : line.words)
                word.text = " ";
        }
    }
    return text;
}

} // namespace TextPage
