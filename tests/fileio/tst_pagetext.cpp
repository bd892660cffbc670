#include "pagetext.h"
#include "pageturn.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

namespace {

TextWord Word(const QString& text, QRect box, int confidence = 90)
{
    return TextWord{text, box, confidence};
}

PageText OneLine(const QStringList& words)
{
    PageText text;
    text.pageSize = QSize(1000, 200);
    TextLine line;
    int x = 10;
    for (const QString& w : words) {
        line.words.append(Word(w, QRect(x, 20, 40, 30)));
        x += 50;
    }
    line.box = QRect(10, 20, x - 10, 30);
    text.paragraphs.append(TextParagraph{{line}});
    return text;
}

// The box of the black pixels of `image`.
QRect Ink(const QImage& image)
{
    QRect r;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                r |= QRect(x, y, 1, 1);
    return r;
}

} // namespace

class TestPageText : public QObject {
    Q_OBJECT
private slots:
    void plainText_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("expected");
        QTest::newRow("english") << QStringList{"Annual", "report"} << "Annual report\n";
        QTest::newRow("chinese characters") << QStringList{"档", "案", "管理"} << "档案管理\n";
        QTest::newRow("chinese then latin") << QStringList{"文件", "2026", "年"} << "文件2026年\n";
        QTest::newRow("full-width punctuation") << QStringList{"归档", "，", "OK"} << "归档，OK\n";
        QTest::newRow("latin with punctuation") << QStringList{"a,", "b."} << "a, b.\n";
    }
    void plainText()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, expected);
        QCOMPARE(OneLine(words).PlainText(), expected);
    }

    void readingOrder()
    {
        PageText text = OneLine({"one", "two"});
        TextLine second = text.paragraphs[0].lines[0];
        second.words = {Word("three", QRect(10, 60, 40, 30))};
        text.paragraphs[0].lines.append(second);
        text.paragraphs.append(
            TextParagraph{{TextLine{{Word("四", QRect(10, 120, 30, 30))}, QRect(10, 120, 30, 30)}}});
        QCOMPARE(text.PlainText(), QString("one two\nthree\n\n四\n"));
        QCOMPARE(text.WordCount(), 4);
    }

    void jsonRoundTrip()
    {
        PageText text = OneLine({"办公室", "文件", "A4"});
        text.language = "chi_sim+eng";
        text.paragraphs[0].lines[0].words[1].confidence = 0;
        // Recognised with the page turned: the words read sideways on the file.
        text.upright = 270;
        PageText back;
        QVERIFY(PageTextFromJson(PageTextToJson(text), &back));
        QCOMPARE(PageTextToJson(back), PageTextToJson(text));
        QCOMPARE(back.PlainText(), text.PlainText());
        QCOMPARE(back.pageSize, text.pageSize);
        QCOMPARE(back.language, text.language);
        QCOMPARE(back.upright, 270);
    }

    // Whatever is not a sound document of ours is refused and leaves nothing.
    void jsonRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QByteArray good = PageTextToJson(OneLine({"ok"}));
        QTest::newRow("not json") << QByteArray("{\"version\":1,");
        QTest::newRow("other version") << QByteArray(good).replace("\"version\":1", "\"version\":2");
        QTest::newRow("no size") << QByteArray(good).replace("\"width\":1000", "\"width\":0");
        QTest::newRow("box off the page") << QByteArray(good).replace("[10,20,40,30]", "[990,20,40,30]");
        QTest::newRow("negative box") << QByteArray(good).replace("[10,20,40,30]", "[-1,20,40,30]");
        QTest::newRow("fraction in box") << QByteArray(good).replace("[10,20,40,30]", "[10.5,20,40,30]");
        QTest::newRow("empty word") << QByteArray(good).replace("\"t\":\"ok\"", "\"t\":\"\"");
        QTest::newRow("confidence over 100") << QByteArray(good).replace("\"c\":90", "\"c\":101");
        QTest::newRow("array at root") << QByteArray("[1,2]");
        PageText sideways = OneLine({"ok"});
        sideways.upright = 90;
        const QByteArray turned = PageTextToJson(sideways);
        QTest::newRow("upright no quarter turn")
            << QByteArray(turned).replace("\"upright\":90", "\"upright\":45");
        QTest::newRow("upright beyond a turn")
            << QByteArray(turned).replace("\"upright\":90", "\"upright\":360");
        QTest::newRow("upright not a number")
            << QByteArray(turned).replace("\"upright\":90", "\"upright\":\"90\"");
    }
    void jsonRefused()
    {
        QFETCH(QByteArray, json);
        PageText out = OneLine({"left", "over"});
        QVERIFY(!PageTextFromJson(json, &out));
        QVERIFY(out.IsEmpty());
        QVERIFY(out.pageSize.isEmpty());
    }

    // A box turns exactly as the pixels under it do.
    void turnFollowsImage_data()
    {
        QTest::addColumn<int>("angle");
        for (int a : {0, 90, 180, 270, -90, 450})
            QTest::newRow(qPrintable(QString::number(a))) << a;
    }
    void turnFollowsImage()
    {
        QFETCH(int, angle);
        const QSize page(37, 23);
        const QRect box(5, 3, 11, 7);
        QImage image(page, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter(&image).fillRect(box, Qt::black);
        PageText text;
        text.pageSize = page;
        text.paragraphs = {TextParagraph{{TextLine{{Word("x", box)}, box}}}};
        const PageText turned = TurnPageText(text, angle);
        const QImage turnedImage = TurnImage(image, angle);
        QCOMPARE(turned.pageSize, turnedImage.size());
        QCOMPARE(turned.paragraphs[0].lines[0].words[0].box, Ink(turnedImage));
        QCOMPARE(turned.paragraphs[0].lines[0].box, Ink(turnedImage));
        // The words turn with the page: turning the page back sets them upright.
        QCOMPARE(turned.upright, NormalTurn(-angle));
        const PageText back = TurnPageText(turned, -angle);
        QCOMPARE(back.upright, 0);
        QCOMPARE(back.pageSize, page);
        QCOMPARE(back.paragraphs[0].lines[0].words[0].box, box);
    }
};

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_pagetext.moc"
