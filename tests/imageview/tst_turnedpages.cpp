// Pages the views ask for turned: the decode of a turned page is the
// upright decode of the same file at the same reduction with every pixel
// moved where the turn puts it, its page size has width and height traded,
// and the background decoder never hands out a page decoded for another
// angle.
#include "pagedecoder.h"
#include "pagemaker.h"
#include "pixelcheck.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace PixelCheck;

class TestTurnedPages : public QObject {
    Q_OBJECT
private slots:
    void init();
    void decode_data();
    void decode();
    void decoderKeepsAngles();

private:
    QString page(const QString& name, const QSize& size, QImage::Format format);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestTurnedPages::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

QString TestTurnedPages::page(const QString& name, const QSize& size, QImage::Format format)
{
    const QString path = m_dir->filePath(name);
    return PageMaker::write(PageMaker::document(size.width(), size.height(), format, 150), path, 150)
               ? path
               : QString();
}

void TestTurnedPages::decode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");
    QTest::addColumn<QSize>("fit");
    QTest::addColumn<int>("angle");
    struct Kind {
        const char* name;
        QImage::Format format;
    };
    // JPEG and TIFF pages are reduced while decoded, the others scaled after.
    const Kind kinds[] = {{"page.jpg", QImage::Format_RGB32},
                          {"page.tiff", QImage::Format_Grayscale8},
                          {"page.pnm", QImage::Format_Mono},
                          {"page.png", QImage::Format_RGB32}};
    for (const Kind& kind : kinds) {
        for (int angle : {0, 90, 180, 270, -90, 450}) {
            QTest::addRow("%s, full, %d", kind.name, angle)
                << kind.name << int(kind.format) << QSize() << angle;
            QTest::addRow("%s, large view, %d", kind.name, angle)
                << kind.name << int(kind.format) << QSize(300, 200) << angle;
            QTest::addRow("%s, thumbnail, %d", kind.name, angle)
                << kind.name << int(kind.format) << QSize(120, 120) << angle;
        }
    }
}

void TestTurnedPages::decode()
{
    QFETCH(QString, name);
    QFETCH(int, format);
    QFETCH(QSize, fit);
    QFETCH(int, angle);
    const QString path = page(name, QSize(1240, 700), QImage::Format(format));
    QVERIFY(!path.isEmpty());
    const bool swap = ((angle % 360) + 360) % 360 % 180 == 90;

    const DecodedPage turned = DecodePage(PageRequest{path, fit, angle});
    // The upright page fitted into the box turned back.
    const DecodedPage upright = DecodePage(PageRequest{path, swap ? fit.transposed() : fit, 0});
    QVERIFY(!upright.image.isNull());
    QCOMPARE(turned.pageSize, swap ? upright.pageSize.transposed() : upright.pageSize);
    const QImage expected = TurnedByHand(upright.image, angle);
    QCOMPARE(turned.image.size(), expected.size());
    QVERIFY(turned.image.convertToFormat(QImage::Format_RGB32) == expected);
    if (fit.isValid()) {
        // Not larger than the box, unless no cheaper reduction was there.
        QVERIFY(turned.image.width() <= fit.width() || turned.image.size() == turned.pageSize);
        QVERIFY(turned.image.height() <= fit.height() || turned.image.size() == turned.pageSize);
    }
}

// A page decoded ahead for one angle is not taken over for another (the
// large view's walk in tst_imageviewwidget catches a cache that mixes angles).
void TestTurnedPages::decoderKeepsAngles()
{
    const QString path = page("page.jpg", QSize(640, 400), QImage::Format_RGB32);
    PageDecoder decoder(1);
    decoder.Queue({PageRequest{path, QSize(), 90}});
    QTRY_VERIFY(decoder.IsIdle());
    const DecodedPage upright = decoder.Decode(PageRequest{path, QSize(), 0});
    QCOMPARE(upright.image.size(), QSize(640, 400));
    const DecodedPage turned = decoder.Decode(PageRequest{path, QSize(), 90});
    QCOMPARE(turned.image.size(), QSize(400, 640));
    QVERIFY(decoder.TakeFinished().isEmpty());
}

QTEST_MAIN(TestTurnedPages)
#include "tst_turnedpages.moc"
