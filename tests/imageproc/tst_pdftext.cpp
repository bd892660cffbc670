// Searchable PDF: pages drawn from known Chinese and English text are saved
// with that text as recognition would give it, and poppler reads it back:
// the text in reading order with no space inside a Chinese phrase, each
// word where it was drawn (also on turned pages, and on pages turned after
// they were recognised, whose words read sideways), the page looking exactly
// as it does without text, and a structure qpdf finds sound.
#include "imageproc.h"
#include "pagemaker.h"
#include "sessioncheck.h"
#include "textpage.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The non-empty lines of a text, each trimmed.
QStringList Lines(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split('\n')) {
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    }
    return lines;
}

struct BoxedWord {
    QString text;
    QRectF box;
};

// The words of one page as pdftotext -bbox gives them, in points, y down,
// and the page's size.
QVector<BoxedWord> PopplerWords(const QString& pdf, int page, QSizeF* size)
{
    bool ok = false;
    const QString html = SessionCheck::Run(
        "pdftotext",
        {"-bbox", "-enc", "UTF-8", "-f", QString::number(page), "-l", QString::number(page), pdf, "-"}, &ok);
    QVector<BoxedWord> words;
    static const QRegularExpression pageTag(R"re(<page width="([\d.]+)" height="([\d.]+)">)re");
    const QRegularExpressionMatch p = pageTag.match(html);
    if (!ok || !p.hasMatch())
        return words;
    *size = QSizeF(p.captured(1).toDouble(), p.captured(2).toDouble());
    static const QRegularExpression wordTag(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    auto it = wordTag.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
        words.append(BoxedWord{m.captured(5), QRectF(topLeft, bottomRight)});
    }
    return words;
}

// Why the words poppler found on the page do not lie where the runs of
// `text` (turned as the page is) were drawn: fewer than 95 % of the runs
// are found with an overlap of at least one half. Empty when they do.
QString Misplaced(const QVector<BoxedWord>& found, const QSizeF& pagePt, const PageText& text)
{
    const QVector<TextPage::Run> runs = TextPage::Runs(text);
    const double sx = pagePt.width() / text.pageSize.width();
    const double sy = pagePt.height() / text.pageSize.height();
    QVector<bool> used(found.size(), false);
    int placed = 0;
    QStringList misses;
    for (const TextPage::Run& run : runs) {
        const QRectF truth(run.box.x() * sx, run.box.y() * sy, run.box.width() * sx, run.box.height() * sy);
        double best = 0;
        int bestIndex = -1;
        for (int i = 0; i < found.size(); ++i) {
            if (!used[i] && found[i].text == run.text && TextPage::Overlap(found[i].box, truth) >= best) {
                best = TextPage::Overlap(found[i].box, truth);
                bestIndex = i;
            }
        }
        if (bestIndex >= 0)
            used[bestIndex] = true;
        if (best >= 0.5)
            ++placed;
        else
            misses << QString("%1 (overlap %2)").arg(run.text).arg(best, 0, 'f', 2);
    }
    if (runs.isEmpty() || placed * 100 < runs.size() * 95)
        return QString("%1 of %2 runs placed; missed: %3")
            .arg(placed)
            .arg(runs.size())
            .arg(misses.join(", "));
    return QString();
}

} // namespace

class TestPdfText : public QObject {
    Q_OBJECT

private slots:
    void init();
    void searchable_data();
    void searchable();
    void withoutTextUnchanged();

private:
    QString path(const QString& name) const { return m_dir->path() + "/" + name; }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestPdfText::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestPdfText::searchable_data()
{
    TextPage::AddSaveRows();
}

void TestPdfText::searchable()
{
    QFETCH(int, angle);
    QFETCH(bool, multi);
    QFETCH(bool, sideways);
    QFETCH(QString, suffix);
    TextPage::Document doc;
    QVERIFY(TextPage::WriteRowDocument(m_dir->path(), &doc));
    const QList<SavePage>& withText = doc.withText;
    const QList<SavePage>& without = doc.without;
    const QList<PageText>& texts = doc.texts;
    ImageProc proc;
    const QString searchable = path("searchable.pdf");
    const QString plain = path("plain.pdf");
    QVERIFY(multi ? proc.SaveMultiPDF(withText, searchable) : proc.SavePDF(withText.first(), searchable));
    QVERIFY(multi ? proc.SaveMultiPDF(without, plain) : proc.SavePDF(without.first(), plain));

    // A JPEG page's own data, as it is.
    if (suffix == "jpg") {
        const QByteArray document = SessionCheck::Bytes(searchable);
        for (const SavePage& page : withText)
            QVERIFY(document.contains(SessionCheck::Bytes(page.path)));
    }
    bool sound = false;
    const QString check = SessionCheck::Run("qpdf", {"--check", searchable}, &sound, true);
    QVERIFY2(sound && !check.contains("WARNING"), qPrintable(check));

    for (int i = 0; i < texts.size(); ++i) {
        const QString number = QString::number(i + 1);
        bool ok = false;
        const QString found = SessionCheck::Run(
            "pdftotext", {"-enc", "UTF-8", "-f", number, "-l", number, searchable, "-"}, &ok);
        QVERIFY(ok);
        // Every line as recognised, in reading order: Chinese phrases whole,
        // English words spaced. Lines that run up the page poppler gives
        // from the last one: there, each line whole is what counts.
        QStringList lines = Lines(found);
        QStringList expected = Lines(texts[i].PlainText());
        if (sideways) {
            lines.sort();
            expected.sort();
        }
        QCOMPARE(lines, expected);
        if (texts[i].IsEmpty())
            continue;
        // Poppler gives the page's unturned size and the words' boxes on the
        // turned page.
        QSizeF pagePt;
        const QVector<BoxedWord> words = PopplerWords(searchable, i + 1, &pagePt);
        if (TurnSwapsSides(angle))
            pagePt.transpose();
        const QString misplaced = Misplaced(words, pagePt, TurnPageText(withText[i].text, angle));
        QVERIFY2(misplaced.isEmpty(), qPrintable(QString("page %1: %2").arg(i + 1).arg(misplaced)));
    }
    // The text is not painted: every page looks as it does without it.
    const QList<QImage> shown = SessionCheck::RenderPdf(searchable, 40, path("shown"));
    const QList<QImage> bare = SessionCheck::RenderPdf(plain, 40, path("bare"));
    QCOMPARE(shown.size(), texts.size());
    QCOMPARE(bare.size(), texts.size());
    for (int i = 0; i < shown.size(); ++i)
        QVERIFY2(shown[i] == bare[i], qPrintable(QString("page %1 differs").arg(i + 1)));
}

// A page without text, or with text that has no word to set, is saved as
// it always was: no font, no deflated content.
void TestPdfText::withoutTextUnchanged()
{
    const TextPage::Page page =
        TextPage::Draw(TextPage::First, TextPage::kSaveSize, TextPage::kSaveDpi, QImage::Format_RGB32);
    const QString file = path("page.tiff");
    QVERIFY(PageMaker::write(page.image, file));
    const PageText blank = TextPage::Blank(page.text);
    QVERIFY(!blank.IsEmpty());
    ImageProc proc;
    QVERIFY(proc.SaveMultiPDF(QList<SavePage>{SavePage(file, 90), SavePage(file, 0)}, path("plain.pdf")));
    QVERIFY(proc.SaveMultiPDF(QList<SavePage>{SavePage(file, 90, blank), SavePage(file, 0, PageText())},
                              path("blank.pdf")));
    const QByteArray plain = SessionCheck::Bytes(path("plain.pdf"));
    QVERIFY(!plain.isEmpty());
    QCOMPARE(SessionCheck::Bytes(path("blank.pdf")), plain);
    for (const char* absent : {"/Font", "/ToUnicode", "/FlateDecode", "/Text"})
        QVERIFY2(!plain.contains(absent), absent);
}

QTEST_MAIN(TestPdfText)
#include "tst_pdftext.moc"
