// The recognised-text layer's cost: generated A4 300 dpi colour JPEG pages,
// each with a dense page of text (70 lines, Chinese lines of 36 one-character
// words and English lines of 12 words), saved as one PDF and one OFD with
// and without the text. The saves alternate round by round in this one
// process; the fastest round of each counts. Prints a markdown table.
//
//   bench_pdftext [pages] [work folder] [rounds]
#include "imageproc.h"
#include "pagetext.h"
#include "pageturn.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>

namespace {

const int kWidth = 2480;
const int kHeight = 3508;
const int kLines = 70;

QImage MakePage(int index)
{
    QImage page(kWidth, kHeight, QImage::Format_RGB32);
    page.fill(qRgb(246, 244, 238));
    QPainter p(&page);
    p.setPen(QPen(QColor(30, 30, 40), 3));
    quint32 seed = 1234567u + quint32(index) * 7919u;
    auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (int line = 0; line < kLines; ++line) {
        const int y = 300 + line * 42;
        for (int x = 250; x < 2230;) {
            const int w = 20 + int(next() % 90);
            p.drawLine(x, y, x + w, y + int(next() % 20) - 10);
            x += w + 18;
        }
    }
    p.end();
    page.setDotsPerMeterX(qRound(300 / 0.0254));
    page.setDotsPerMeterY(qRound(300 / 0.0254));
    return page;
}

PageText MakeText(int index)
{
    static const QString hanzi =
        QString::fromUtf8("档案管理办法公室文件归第三号请查阅章会议纪要本单位年度工作报告财务预算审计");
    static const QStringList english = {"The",     "quarterly", "budget",  "review",     "of",   "office",
                                        "records", "and",       "archive", "management", "2026", "total"};
    PageText text;
    text.pageSize = QSize(kWidth, kHeight);
    text.language = "chi_sim+eng";
    quint32 seed = 7654321u + quint32(index) * 104729u;
    auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    TextParagraph paragraph;
    for (int l = 0; l < kLines; ++l) {
        TextLine line;
        const int top = 270 + l * 42;
        int x = 250;
        if (l % 2 == 0) {
            for (int c = 0; c < 36; ++c) {
                line.words.append(
                    TextWord{QString(hanzi[int(next() % hanzi.size())]), QRect(x, top, 48, 34), 90});
                x += 55;
            }
        } else {
            for (const QString& word : english) {
                const int w = 22 * word.size();
                line.words.append(TextWord{word, QRect(x, top, w, 34), 90});
                x += w + 20;
            }
        }
        for (const TextWord& word : line.words)
            line.box = line.box.united(word.box);
        paragraph.lines.append(line);
        if (l % 10 == 9) {
            text.paragraphs.append(paragraph);
            paragraph = TextParagraph();
        }
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int pages = argc > 1 ? atoi(argv[1]) : 20;
    const QString work = argc > 2 ? QString(argv[2]) : QDir::tempPath() + "/bench_pdftext";
    const int rounds = argc > 3 ? atoi(argv[3]) : 3;
    QDir().mkpath(work);
    QList<SavePage> plain, withText;
    int words = 0;
    for (int i = 0; i < pages; ++i) {
        const QString path = QString("%1/page%2.jpg").arg(work).arg(i);
        if (!MakePage(i).save(path, "JPEG", 85))
            return 1;
        const PageText text = MakeText(i);
        words += text.WordCount();
        plain << SavePage(path, 0);
        withText << SavePage(path, 0, text);
    }
    struct Step {
        const char* name;
        QString target;
        std::function<bool(const QString&)> run;
        double best = std::numeric_limits<double>::max();
    };
    ImageProc proc;
    QVector<Step> steps = {
        {"PDF without text", work + "/plain.pdf",
         [&](const QString& t) { return proc.SaveMultiPDF(plain, t); }},
        {"PDF with text", work + "/text.pdf",
         [&](const QString& t) { return proc.SaveMultiPDF(withText, t); }},
        {"OFD without text", work + "/plain.ofd",
         [&](const QString& t) { return proc.SaveMultiOFD(plain, t); }},
        {"OFD with text", work + "/text.ofd",
         [&](const QString& t) { return proc.SaveMultiOFD(withText, t); }},
    };
    for (int r = 0; r < rounds; ++r) {
        for (Step& step : steps) {
            QElapsedTimer timer;
            timer.start();
            if (!step.run(step.target))
                return 2;
            step.best = std::min(step.best, timer.nsecsElapsed() / 1e9);
        }
    }
    std::printf("%d pages, %d words (%.0f a page), fastest of %d rounds\n\n", pages, words,
                double(words) / pages, rounds);
    std::printf("| save | seconds | bytes | text layer (bytes) | of the file | time against no text |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    for (int i = 0; i < steps.size(); ++i) {
        const qint64 size = QFileInfo(steps[i].target).size();
        if (i % 2 == 0) {
            std::printf("| %s | %.3f | %lld | | | |\n", steps[i].name, steps[i].best, size);
        } else {
            const qint64 base = QFileInfo(steps[i - 1].target).size();
            std::printf("| %s | %.3f | %lld | %lld | %.2f %% | %.2f |\n", steps[i].name, steps[i].best, size,
                        size - base, 100.0 * (size - base) / size, steps[i].best / steps[i - 1].best);
        }
    }
    return 0;
}
