// Searchable OFD: pages drawn from known Chinese and English text are saved
// with that text as recognition would give it; the package is read back:
// unpainted text objects in a font every reader has, their characters in
// reading order with each word starting where it was drawn (also on turned
// pages, and on pages turned after they were recognised, whose lines are
// turned onto the page), the page's image as it is without text, and every
// page valid against the schema of the page content we write.
#include "imageproc.h"
#include "pagemaker.h"
#include "sessioncheck.h"
#include "textpage.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const double kTolerance = 0.01; // mm

QString Source(const char* name)
{
    return QString(SCANVY_SOURCE_DIR) + "/tests/ofd/" + name;
}

QStringList Lines(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split('\n')) {
        if (!line.trimmed().isEmpty())
            lines << line;
    }
    return lines;
}

QVector<double> Numbers(const QString& text)
{
    QVector<double> numbers;
    for (const QString& part : text.split(' ', Qt::SkipEmptyParts))
        numbers << part.toDouble();
    return numbers;
}

struct TextCode {
    QXmlStreamAttributes object, fill; // of its text object, its fill colour
    double x = 0, y = 0;
    QVector<double> deltaX;
    QString text;
};

struct Content {
    QXmlStreamAttributes image;
    QVector<TextCode> codes;
    QSizeF page; // mm
};

Content ReadContent(const QString& file)
{
    Content content;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return content;
    QXmlStreamReader xml(&in);
    QXmlStreamAttributes object, fill;
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        const QString name = xml.name().toString();
        if (name == "PhysicalBox") {
            const QVector<double> box = Numbers(xml.readElementText());
            if (box.size() == 4)
                content.page = QSizeF(box[2], box[3]);
        } else if (name == "ImageObject") {
            content.image = xml.attributes();
        } else if (name == "TextObject") {
            object = xml.attributes();
            fill.clear();
        } else if (name == "FillColor") {
            fill = xml.attributes();
        } else if (name == "TextCode") {
            TextCode code;
            code.object = object;
            code.fill = fill;
            code.x = xml.attributes().value("X").toDouble();
            code.y = xml.attributes().value("Y").toDouble();
            code.deltaX = Numbers(xml.attributes().value("DeltaX").toString());
            code.text = xml.readElementText();
            content.codes << code;
        }
    }
    return content;
}

// The page as shown is the page of `upright` (where the words read upright)
// turned; a text object's matrix turns its line, laid out upright in a box of
// its boundary's size turned, onto its boundary. `box` (x y w h on the page as
// shown) becomes the box on the page of `upright`. False when the matrix is
// not the quarter turn of such a box.
bool Unturn(const QVector<double>& m, const QSizeF& upright, QVector<double>* box)
{
    if (m.size() != 6)
        return false;
    const double x = (*box)[0], y = (*box)[1], w = (*box)[2], h = (*box)[3];
    auto near = [](double a, double b) { return qAbs(a - b) <= kTolerance; };
    auto is = [&](std::initializer_list<double> want) {
        return std::equal(want.begin(), want.end(), m.begin(), near);
    };
    // Turned clockwise by 90 (the upright page's top at the right), 180, 270.
    const QSizeF shownTurned(upright.height(), upright.width());
    if (is({0, 1, -1, 0, w, 0}))
        *box = {y, shownTurned.width() - x - w, h, w};
    else if (is({-1, 0, 0, -1, w, h}))
        *box = {upright.width() - x - w, upright.height() - y - h, w, h};
    else if (is({0, -1, 1, 0, 0, h}))
        *box = {shownTurned.height() - y - h, x, h, w};
    else
        return false;
    return true;
}

// Why the text codes do not put each word of `text` where it was drawn on a
// page of pageMm: a line's characters and steps do not match, a word does
// not start at its box's left edge, or a baseline leaves its line's box.
QString Misplaced(const QVector<TextCode>& codes, const QSizeF& pageMm, const PageText& text)
{
    const double sx = pageMm.width() / text.pageSize.width();
    const double sy = pageMm.height() / text.pageSize.height();
    int index = 0;
    for (const TextParagraph& paragraph : text.paragraphs) {
        for (const TextLine& line : paragraph.lines) {
            if (index >= codes.size())
                return "too few text codes";
            const TextCode& code = codes[index++];
            const QVector<uint> characters = code.text.toUcs4();
            if (code.deltaX.size() != characters.size() - 1)
                return QString("%1: %2 steps for %3 characters")
                    .arg(code.text)
                    .arg(code.deltaX.size())
                    .arg(characters.size());
            QVector<double> box = Numbers(code.object.value("Boundary").toString());
            if (box.size() != 4)
                return "no boundary";
            // A line turned onto the page: its box as laid out upright.
            const QString ctm = code.object.value("CTM").toString();
            if (!ctm.isEmpty() && !Unturn(Numbers(ctm), pageMm, &box))
                return QString("%1: matrix %2 turns no box of %3 x %4 mm")
                    .arg(code.text, ctm)
                    .arg(box[2])
                    .arg(box[3]);
            // Each character's start on the page.
            QVector<double> starts{box[0] + code.x};
            for (double step : code.deltaX)
                starts << starts.last() + step;
            int at = 0;
            QString previous;
            for (const TextWord& word : line.words) {
                if (!previous.isEmpty() && SpaceBetween(previous, word.text))
                    ++at;
                const double left = word.box.left() * sx;
                if (at >= starts.size() || qAbs(starts[at] - left) > kTolerance)
                    return QString("%1 starts at %2 mm, drawn at %3 mm")
                        .arg(word.text)
                        .arg(at < starts.size() ? starts[at] : -1)
                        .arg(left);
                at += word.text.toUcs4().size();
                previous = word.text;
            }
            const double baseline = box[1] + code.y;
            if (baseline < line.box.top() * sy || baseline > (line.box.top() + line.box.height()) * sy)
                return QString("%1: baseline %2 mm outside its line").arg(code.text).arg(baseline);
        }
    }
    return index == codes.size() ? QString() : QString("%1 text codes too many").arg(codes.size() - index);
}

// Why the objects and resources of an unpacked package are not numbered
// 1, 2, ... up to the document's MaxUnitID, each number once. Empty when
// they are.
QString Numbering(const QString& unpacked)
{
    QList<int> ids;
    static const QRegularExpression id(R"re(\sID="(\d+)")re");
    QDirIterator it(unpacked, {"*.xml"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        auto found = id.globalMatch(QString::fromUtf8(SessionCheck::Bytes(it.next())));
        while (found.hasNext())
            ids << found.next().captured(1).toInt();
    }
    std::sort(ids.begin(), ids.end());
    const int maxUnitId =
        SessionCheck::XPath(unpacked + "/Doc_0/Document.xml", "string(//*[local-name()='MaxUnitID'])")
            .toInt();
    for (int i = 0; i < ids.size(); ++i) {
        if (ids[i] != i + 1)
            return QString("ID %1 where %2 belongs").arg(ids[i]).arg(i + 1);
    }
    if (ids.size() != maxUnitId)
        return QString("%1 IDs, MaxUnitID %2").arg(ids.size()).arg(maxUnitId);
    return QString();
}

} // namespace

class TestOfdText : public QObject {
    Q_OBJECT

private slots:
    void init();
    void searchable_data();
    void searchable();
    void withoutTextUnchanged();
    void unwritableCharacters();

private:
    QString path(const QString& name) const { return m_dir->path() + "/" + name; }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestOfdText::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestOfdText::searchable_data()
{
    TextPage::AddSaveRows();
}

void TestOfdText::searchable()
{
    QFETCH(int, angle);
    QFETCH(bool, multi);
    QFETCH(bool, sideways);
    TextPage::Document doc;
    QVERIFY(TextPage::WriteRowDocument(m_dir->path(), &doc));
    const QList<SavePage>& withText = doc.withText;
    const QList<SavePage>& without = doc.without;
    const QList<PageText>& texts = doc.texts;
    ImageProc proc;
    QVERIFY(multi ? proc.SaveMultiOFD(withText, path("text.ofd"))
                  : proc.SaveOFD(withText.first(), path("text.ofd")));
    QVERIFY(multi ? proc.SaveMultiOFD(without, path("plain.ofd"))
                  : proc.SaveOFD(without.first(), path("plain.ofd")));
    const QStringList media = SessionCheck::OfdPageMedia(path("text.ofd"), path("text"));
    const QStringList plainMedia = SessionCheck::OfdPageMedia(path("plain.ofd"), path("plain"));
    QCOMPARE(media.size(), texts.size());
    QCOMPARE(plainMedia.size(), texts.size());

    // The text's font is one of the document's, with no font file.
    const QString publicRes = path("text/Doc_0/PublicRes.xml");
    for (int i = 0; i < texts.size(); ++i) {
        const QString page = path(QString("text/Doc_0/Pages/Page_%1/Content.xml").arg(i));
        bool valid = false;
        const QString why =
            SessionCheck::Run("xmllint", {"--noout", "--schema", Source("ofdpage.xsd"), page}, &valid, true);
        QVERIFY2(valid, qPrintable(why));
        const Content content = ReadContent(page);
        const Content plain = ReadContent(path(QString("plain/Doc_0/Pages/Page_%1/Content.xml").arg(i)));
        // The image as it is without text.
        QCOMPARE(content.image.value("Boundary"), plain.image.value("Boundary"));
        QCOMPARE(content.image.value("CTM"), plain.image.value("CTM"));
        QCOMPARE(SessionCheck::Bytes(media[i]), SessionCheck::Bytes(plainMedia[i]));
        QStringList lines;
        for (const TextCode& code : content.codes) {
            QCOMPARE(code.object.value("Fill").toString(), QString("false"));
            QCOMPARE(code.fill.value("Alpha").toString(), QString("0"));
            QVERIFY(code.object.value("Stroke").isEmpty() || code.object.value("Stroke") == QString("false"));
            const QString font = code.object.value("Font").toString();
            QCOMPARE(SessionCheck::XPath(publicRes, "count(//*[local-name()='Font'][@ID='" + font + "'])"),
                     QString("1"));
            QCOMPARE(SessionCheck::XPath(publicRes, "count(//*[local-name()='Font'][@ID='" + font +
                                                        "']/*[local-name()='FontFile'])"),
                     QString("0"));
            lines << code.text;
        }
        // In reading order, as recognised.
        QCOMPARE(lines, Lines(texts[i].PlainText()));
        // The words were drawn upright on the page as scanned (sideways) or
        // as shown.
        const QSizeF upright = sideways && TurnSwapsSides(angle) ? content.page.transposed() : content.page;
        const QString misplaced = Misplaced(content.codes, upright, texts[i]);
        QVERIFY2(misplaced.isEmpty(), qPrintable(QString("page %1: %2").arg(i + 1).arg(misplaced)));
    }
    // Every object has an ID of its own, the text objects too.
    const QString numbering = Numbering(path("text"));
    QVERIFY2(numbering.isEmpty(), qPrintable(numbering));
}

// Without text, or with text that has no word to set, the package is the
// one saved before (but for its document's random ID).
void TestOfdText::withoutTextUnchanged()
{
    const TextPage::Page page =
        TextPage::Draw(TextPage::First, TextPage::kSaveSize, TextPage::kSaveDpi, QImage::Format_RGB32);
    const QString file = path("page.jpg");
    QVERIFY(PageMaker::write(page.image, file));
    const PageText blank = TextPage::Blank(page.text);
    QVERIFY(!blank.IsEmpty());
    ImageProc proc;
    QVERIFY(proc.SaveMultiOFD(QList<SavePage>{SavePage(file, 90), SavePage(file, 0)}, path("plain.ofd")));
    QVERIFY(
        proc.SaveMultiOFD(QList<SavePage>{SavePage(file, 90, blank), SavePage(file, 0)}, path("blank.ofd")));
    QCOMPARE(SessionCheck::OfdPageMedia(path("plain.ofd"), path("plain")).size(), 2);
    QCOMPARE(SessionCheck::OfdPageMedia(path("blank.ofd"), path("blank")).size(), 2);
    QStringList entries;
    QDirIterator it(path("plain"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(path("plain")).relativeFilePath(it.next());
    QCOMPARE(entries.size(), 8);
    const QString numbering = Numbering(path("plain"));
    QVERIFY2(numbering.isEmpty(), qPrintable(numbering));
    for (const QString& entry : entries) {
        if (entry == "OFD.xml")
            continue;
        const QByteArray plain = SessionCheck::Bytes(path("plain/" + entry));
        QVERIFY2(!plain.contains("TextObject"), qPrintable(entry));
        QVERIFY2(SessionCheck::Bytes(path("blank/" + entry)) == plain, qPrintable(entry));
    }
}

// Recognised text may hold characters no XML document can, and boxes that
// overlap: the characters are left out, no two characters share a place
// (each step forward), and the page stays valid.
void TestOfdText::unwritableCharacters()
{
    const QString file = path("page.jpg");
    QImage image(600, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    QVERIFY(image.save(file));
    PageText text;
    text.pageSize = image.size();
    TextLine line;
    line.words = {TextWord{QString("Fax") + QChar(0x01), QRect(10, 10, 80, 20), 90},
                  TextWord{QString(QChar(0x02)), QRect(95, 10, 10, 20), 90},
                  TextWord{QString("No.") + QChar(0xFFFF), QRect(85, 10, 60, 20), 90},
                  TextWord{QString("中"), QRect(140, 10, 20, 20), 90},
                  TextWord{QString("文"), QRect(130, 10, 20, 20), 90}};
    line.box = QRect(10, 10, 160, 20);
    text.paragraphs = {TextParagraph{{line}}};
    ImageProc proc;
    QVERIFY(proc.SaveOFD(SavePage(file, 0, text), path("doc.ofd")));
    QCOMPARE(SessionCheck::OfdPageMedia(path("doc.ofd"), path("doc")).size(), 1);
    const QString page = path("doc/Doc_0/Pages/Page_0/Content.xml");
    bool valid = false;
    const QString why =
        SessionCheck::Run("xmllint", {"--noout", "--schema", Source("ofdpage.xsd"), page}, &valid, true);
    QVERIFY2(valid, qPrintable(why));
    const Content content = ReadContent(page);
    QCOMPARE(content.codes.size(), 1);
    QCOMPARE(content.codes[0].text, QString("Fax No.中文"));
    QCOMPARE(content.codes[0].deltaX.size(), 8);
    for (double step : content.codes[0].deltaX)
        QVERIFY(step > 0);
}

QTEST_MAIN(TestOfdText)
#include "tst_ofdtext.moc"
