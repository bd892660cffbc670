#include "imageviewwidget.h"
#include "pagefiles.h"
#include "thumblistwidget.h"
#include "thumbnailwidget.h"
#include "tiffheader.h"
#include "workspace.h"

#include <QFile>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

// The large view and the thumbnails decode pages reduced, ahead of time and
// in the background; what they show must still be the page file as it is.
// The workspace's viewport is 320 x 400 pixels.
class TestImageViewCache : public QObject {
    Q_OBJECT

private slots:
    void init();
    void fittedMatchesFullDecode_data();
    void fittedMatchesFullDecode();
    void sharperWhenTheViewNeedsIt_data();
    void sharperWhenTheViewNeedsIt();
    void walkAgainstModel_data();
    void walkAgainstModel();
    void damagedPage_data();
    void damagedPage();
    void backgroundThumbnailNeverStale_data();
    void backgroundThumbnailNeverStale();
    void heldKeyShowsThumbnailsThenThePage_data();
    void heldKeyShowsThumbnailsThenThePage();

private:
    QString BlockPage(const QString& name, QImage::Format format);

    QScopedPointer<QTemporaryDir> m_dir;
};

namespace {

const QSize kPage(1240, 1754);

QImage Shown(const Workspace& ws)
{
    return ws.LargeLabel()->pixmap(Qt::ReturnByValue).toImage();
}

// Mean difference per channel of two images scaled to `size`, 0..255.
double MeanDifference(const QImage& a, const QImage& b, const QSize& size)
{
    const QImage x =
        a.convertToFormat(QImage::Format_RGB32).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage y =
        b.convertToFormat(QImage::Format_RGB32).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sum = 0;
    for (int row = 0; row < size.height(); ++row) {
        for (int col = 0; col < size.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * size.width() * size.height());
}

// The colour `image` shows at a point given as a share of its size.
QColor At(const QImage& image, double x, double y)
{
    return image.pixelColor(int(x * (image.width() - 1)), int(y * (image.height() - 1)));
}

// A page whose left half is `left` and right half `right`, written over the
// file in place or beside it and renamed over it.
void WritePage(const QString& path, const QColor& left, const QColor& right, bool inPlace)
{
    QImage image(600, 800, QImage::Format_RGB32);
    image.fill(right);
    QPainter(&image).fillRect(0, 0, 300, 800, left);
    const QString target = inPlace ? path : path + QStringLiteral(".new.jpg");
    QVERIFY(image.save(target, "JPEG", 95));
    if (!inPlace) {
        QVERIFY(std::rename(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0);
    }
}

} // namespace

void TestImageViewCache::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

// Blocks of colour over a gradient: edges are few, so two good ways of
// scaling it agree closely.
QString TestImageViewCache::BlockPage(const QString& name, QImage::Format format)
{
    QImage page(kPage, QImage::Format_RGB32);
    QPainter painter(&page);
    QLinearGradient gradient(0, 0, kPage.width(), 0);
    gradient.setColorAt(0, QColor(240, 230, 200));
    gradient.setColorAt(1, QColor(40, 90, 160));
    painter.fillRect(page.rect(), gradient);
    for (int i = 0; i < 12; ++i) {
        painter.fillRect((i % 3) * 400 + 40, (i / 3) * 430 + 40, 300, 330, PageFiles::ColorFor(i));
    }
    painter.end();
    const QImage converted = format == QImage::Format_Mono ? page.convertToFormat(format, Qt::ThresholdDither)
                                                           : page.convertToFormat(format);
    const QString path = m_dir->filePath(name);
    const QByteArray writer =
        name.endsWith(QLatin1String(".pnm")) ? "PPM" : QFileInfo(name).suffix().toLatin1();
    return converted.save(path, writer.constData(), 95) ? path : QString();
}

void TestImageViewCache::fittedMatchesFullDecode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");

    QTest::newRow("colour JPEG") << "colour.jpg" << int(QImage::Format_RGB32);
    QTest::newRow("grey JPEG") << "grey.jpg" << int(QImage::Format_Grayscale8);
    QTest::newRow("1-bit TIFF") << "bw.tiff" << int(QImage::Format_Mono);
    QTest::newRow("8-bit grey TIFF") << "grey.tiff" << int(QImage::Format_Grayscale8);
    QTest::newRow("16-bit RGB TIFF") << "rgb16.tiff" << int(QImage::Format_RGBX64);
    QTest::newRow("PNG") << "colour.png" << int(QImage::Format_RGB32);
    QTest::newRow("16-bit grey PNG") << "grey16.png" << int(QImage::Format_Grayscale16);
    QTest::newRow("PNM") << "colour.pnm" << int(QImage::Format_RGB32);
}

// The fitted view is decoded at the size the label shows it at, and looks
// like the whole page scaled down.
void TestImageViewCache::fittedMatchesFullDecode()
{
    QFETCH(QString, name);
    QFETCH(int, format);

    const QString path = BlockPage(name, QImage::Format(format));
    QVERIFY(!path.isEmpty());
    Workspace ws;
    ws.view->AddImage(path);
    ws.view->SetSelection(0);
    const QSize label = ws.LargeLabel()->size();
    QCOMPARE(label, QSize(qRound(kPage.width() * 400.0 / kPage.height()), 400));
    const QImage shown = Shown(ws);
    QCOMPARE(shown.size(), label);
    const double difference = MeanDifference(shown, QImageReader(path).read(), label);
    QVERIFY2(difference <= 3.0, qPrintable(QString::number(difference)));
}

void TestImageViewCache::sharperWhenTheViewNeedsIt_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("fullResolution");

    QTest::newRow("actual size") << "normal" << true;
    QTest::newRow("zoomed in") << "in" << true;
    QTest::newRow("zoomed out") << "out" << false;
    QTest::newRow("fitted into a larger view") << "grow" << false;
}

// A zoom that needs more pixels than the fitted decode has gets them in the
// background; the label keeps its size and the zoom state meanwhile.
void TestImageViewCache::sharperWhenTheViewNeedsIt()
{
    QFETCH(QString, action);
    QFETCH(bool, fullResolution);

    const QString path = BlockPage(QStringLiteral("page.jpg"), QImage::Format_RGB32);
    Workspace ws;
    ws.view->AddImage(path);
    ws.view->SetSelection(0);
    const QSize fitted = Shown(ws).size();
    QVERIFY(fitted.width() < kPage.width() / 3);
    QSignalSpy zoom(ws.view, &ImageViewWidget::sglLargeImageCannotZoom);

    if (action == QLatin1String("normal")) {
        ws.view->NormalSize();
    } else if (action == QLatin1String("in")) {
        ws.view->ZoomIn();
    } else if (action == QLatin1String("out")) {
        ws.view->ZoomOut();
    } else {
        ws.ScrollArea()->setFixedSize(QSize(640, 800) + QSize(2, 2));
        QApplication::processEvents();
        ws.view->FitToWindow();
    }
    const QSize label = ws.LargeLabel()->size();
    const double scale = ws.view->GetScaleFactor();
    QCOMPARE(zoom.count(), 1);
    QCOMPARE(zoom.at(0).at(0).toInt(), int(ImageViewWidget::CanZoomBoth));

    if (fullResolution) {
        QTRY_COMPARE(Shown(ws).size(), kPage);
    } else if (action == QLatin1String("grow")) {
        QTRY_COMPARE(Shown(ws).size(), label);
    } else {
        QTest::qWait(100);
        QCOMPARE(Shown(ws).size(), fitted);
    }
    QCOMPARE(ws.LargeLabel()->size(), label);
    QCOMPARE(ws.view->GetScaleFactor(), scale);
    QCOMPARE(zoom.count(), 1);
    const double difference = MeanDifference(Shown(ws), QImageReader(path).read(), label.boundedTo(fitted));
    QVERIFY2(difference <= 3.0, qPrintable(QString::number(difference)));
}

void TestImageViewCache::walkAgainstModel_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 2") << 2u;
    QTest::newRow("seed 3") << 3u;
}

// Seeded walks through a list of pages whose files are turned and
// rewritten meanwhile, the way the program and other processes do; after
// every step the large view shows the current file as it is now, never a
// decode of an earlier file or of another page.
void TestImageViewCache::walkAgainstModel()
{
    QFETCH(quint32, seed);

    struct Page {
        QString path;
        QColor left, right;
        int turns = 0; // quarter turns clockwise since the colours were written
    };
    const int count = 30;
    QVector<Page> files(count);
    QVector<Page> thumbs(count); // what the thumbnails were last told
    int colours = 0;
    const auto rewrite = [&](int i, bool inPlace) {
        files[i].left = PageFiles::ColorFor(colours);
        files[i].right = PageFiles::ColorFor(colours + 5);
        files[i].turns = 0;
        ++colours;
        WritePage(files[i].path, files[i].left, files[i].right, inPlace);
    };
    Workspace ws;
    for (int i = 0; i < count; ++i) {
        files[i].path = m_dir->filePath(QStringLiteral("page%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        rewrite(i, false);
        thumbs[i] = files[i];
        ws.view->AddImage(files[i].path);
    }
    ws.view->SetSelection(0);

    // The colour a page shows at the left middle (upright or upside down) or
    // at the top middle (on its side).
    const auto check = [](const QImage& image, const Page& page) {
        const bool upright = page.turns % 2 == 0;
        const QColor got = upright ? At(image, 0.25, 0.5) : At(image, 0.5, 0.25);
        const QColor want = page.turns < 2 ? page.left : page.right;
        return PageFiles::Near(got, want, 40);
    };

    QRandomGenerator random(seed);
    QStringList steps;
    for (int step = 0; step < 60; ++step) {
        const int current = ws.view->GetCurrentIndex();
        const int other = int(random.bounded(count));
        switch (random.bounded(8)) {
        case 0:
        case 1:
            steps << QStringLiteral("next");
            ws.view->NextPage();
            break;
        case 2:
            steps << QStringLiteral("prev");
            ws.view->PrevPage();
            break;
        case 3:
            steps << QStringLiteral("jump %1").arg(other);
            ws.view->JumpTo(other);
            break;
        case 4:
            steps << QStringLiteral("turn");
            ws.view->RotateRight();
            files[current].turns = (files[current].turns + 1) % 4;
            thumbs[current] = files[current];
            break;
        case 5:
            steps << QStringLiteral("rewrite %1, redraw").arg(other);
            rewrite(other, false);
            ws.view->RedrawPage(files[other].path);
            thumbs[other] = files[other];
            break;
        case 6: {
            // A page near the current one, likely decoded ahead; nobody
            // says so.
            const int near = std::clamp(current + int(random.bounded(5)) - 1, 0, count - 1);
            if (near != current) {
                steps << QStringLiteral("rewrite %1 unannounced").arg(near);
                rewrite(near, random.bounded(2) == 0);
            }
            break;
        }
        default:
            steps << QStringLiteral("idle");
            QTRY_VERIFY(!ws.view->IsDecoding());
            QApplication::processEvents();
            break;
        }
        const int row = ws.view->GetCurrentIndex();
        QVERIFY2(
            check(Shown(ws), files[row]),
            qPrintable(QStringLiteral("page %1 after: %2").arg(row).arg(steps.join(QStringLiteral("; ")))));
    }
    for (int row = 0; row < count; ++row) {
        ThumbnailWidget* thumb = ws.Thumb(row);
        QTRY_VERIFY(!thumb->IsLoading());
        const QImage image =
            thumb->findChild<QLabel*>(QStringLiteral("lblImage"))->pixmap(Qt::ReturnByValue).toImage();
        QVERIFY2(check(image, thumbs[row]), qPrintable(QStringLiteral("thumbnail %1").arg(row)));
    }
    // A handful of pages around the current one, not the walk's history.
    QVERIFY2(ws.view->CachedPageCount() <= 16, qPrintable(QString::number(ws.view->CachedPageCount())));
}

void TestImageViewCache::damagedPage_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not an image") << QByteArray("no image here\n");
    QTest::newRow("JPEG header only") << QByteArray::fromHex("ffd8ffe000104a4649460001010000010001");
    // As the scanner writes a black-and-white page, cut off half-way.
    const QSize size(2480, 3508);
    QTest::newRow("1-bit TIFF cut off") << TiffHeader::Build(false, 1, size.width(), size.height(), 300) +
                                               QByteArray(size.width() / 8 * size.height() / 2, '\0');
}

// A page file that does not decode leaves the view and its thumbnail empty.
void TestImageViewCache::damagedPage()
{
    QFETCH(QByteArray, bytes);

    const QString good = BlockPage(QStringLiteral("good.jpg"), QImage::Format_RGB32);
    const QString bad = m_dir->filePath(QStringLiteral("bad"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    Workspace ws;
    ws.view->AddImage(good);
    ws.view->AddImage(bad);
    ws.view->SetSelection(0);
    QVERIFY(!Shown(ws).isNull());
    ws.view->NextPage();
    QVERIFY(Shown(ws).isNull());
    QTRY_VERIFY(!ws.Thumb(1)->IsLoading());
    QVERIFY(ws.Thumb(1)->findChild<QLabel*>(QStringLiteral("lblImage"))->pixmap(Qt::ReturnByValue).isNull());
    ws.view->PrevPage();
    QVERIFY(!Shown(ws).isNull());
}

void TestImageViewCache::backgroundThumbnailNeverStale_data()
{
    QTest::addColumn<bool>("another");
    QTest::newRow("then another page") << true;
    QTest::newRow("then emptied") << false;
}

// A thumbnail decoded in the background arrives after the widget was given
// another page, or emptied: it is not shown.
void TestImageViewCache::backgroundThumbnailNeverStale()
{
    QFETCH(bool, another);

    // A large PNG page is too slow for the interface thread.
    const QString slow = BlockPage(QStringLiteral("slow.png"), QImage::Format_RGB32);
    const QString quick =
        PageFiles::Write(m_dir->path(), QStringLiteral("quick.jpg"), QSize(300, 400), Qt::blue);
    ThumbnailWidget thumb(slow);
    QVERIFY(thumb.IsLoading());
    if (another) {
        thumb.ScalImage(quick);
    } else {
        thumb.ResetFilePath(QString());
    }
    QVERIFY(!thumb.IsLoading());
    QVERIFY(ThumbnailWidget::WaitForBackgroundDecodes(30000));
    QApplication::processEvents();
    const QImage image =
        thumb.findChild<QLabel*>(QStringLiteral("lblImage"))->pixmap(Qt::ReturnByValue).toImage();
    if (another) {
        QVERIFY(PageFiles::Near(PageFiles::CenterColor(image), Qt::blue));
    } else {
        QVERIFY(image.isNull());
    }
}

void TestImageViewCache::heldKeyShowsThumbnailsThenThePage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");

    QTest::newRow("colour JPEG") << "page%1.jpg" << int(QImage::Format_RGB32);
    QTest::newRow("1-bit TIFF") << "page%1.tiff" << int(QImage::Format_Mono);
}

// A held arrow key moves through pages faster than they decode: the pages
// on the way show their thumbnails, and the page the key stops at is then
// drawn from its file. A single key press shows the decoded page at once.
void TestImageViewCache::heldKeyShowsThumbnailsThenThePage()
{
    QFETCH(QString, name);
    QFETCH(int, format);

    const int count = 12;
    Workspace ws;
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths << BlockPage(name.arg(i, 2, 10, QLatin1Char('0')), QImage::Format(format));
        QVERIFY(!paths.last().isEmpty());
        ws.view->AddImage(paths.last());
    }
    ws.view->SetSelection(0);
    QTRY_VERIFY(!ws.view->IsDecoding());
    QVERIFY(ThumbnailWidget::WaitForBackgroundDecodes(10000));
    QApplication::processEvents();
    const QSize fitted = ws.LargeLabel()->size();
    ws.list->setFocus();

    QTest::keyClick(ws.list, Qt::Key_Down);
    QCOMPARE(ws.view->GetCurrentIndex(), 1);
    QCOMPARE(Shown(ws).size(), fitted);

    int previews = 0;
    for (int step = 2; step < count; ++step) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(ws.list, &press);
        QCOMPARE(ws.view->GetCurrentIndex(), step);
        const QSize shown = Shown(ws).size();
        if (shown != fitted) {
            QVERIFY2(shown.width() <= ThumbnailWidget::kBoxSize &&
                         shown.height() <= ThumbnailWidget::kBoxSize,
                     qPrintable(QStringLiteral("page %1 shown at %2x%3")
                                    .arg(step)
                                    .arg(shown.width())
                                    .arg(shown.height())));
            ++previews;
        }
    }
    // Ten pages at once outrun the decoding threads.
    QVERIFY(previews > 0);
    QTRY_COMPARE(Shown(ws).size(), fitted);
    const double difference = MeanDifference(Shown(ws), QImageReader(paths.last()).read(), fitted);
    QVERIFY2(difference <= 3.0, qPrintable(QString::number(difference)));
    // Zoom still works on the page that replaced the preview.
    ws.view->NormalSize();
    QTRY_COMPARE(Shown(ws).size(), kPage);
}

QTEST_MAIN(TestImageViewCache)
#include "tst_imageviewcache.moc"
