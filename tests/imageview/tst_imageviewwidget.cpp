// The large view: zoom limits, a replaced page and an unfinished page's
// placeholder, and pages turned or rewritten behind the view's back never
// shown from an earlier decode. The workspace's viewport
// is 320 x 400 pixels.
#include "imageviewwidget.h"
#include "pagefiles.h"
#include "workspace.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

QImage Shown(const Workspace& ws)
{
    return ws.LargeLabel()->pixmap(Qt::ReturnByValue).toImage();
}

// The colour `image` shows at a point given as a share of its size.
QColor At(const QImage& image, double x, double y)
{
    return image.pixelColor(int(x * (image.width() - 1)), int(y * (image.height() - 1)));
}

} // namespace

class TestImageViewWidget : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_ws.reset(new Workspace); }
    void init();
    void zoomLimits_data();
    void zoomLimits();
    void replacedAndUnfinishedPages();
    void fullSizePagesKeepToTheBudget();
    void rewrittenPagesNeverStale_data();
    void rewrittenPagesNeverStale();

private:
    QScopedPointer<QTemporaryDir> m_dir;
    std::unique_ptr<Workspace> m_ws; // emptied before each test
};

void TestImageViewWidget::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_ws->view->Broom();
}

void TestImageViewWidget::zoomLimits_data()
{
    QTest::addColumn<QSize>("page");
    QTest::addColumn<int>("steps"); // zoom in (> 0) or out (< 0) from actual size
    QTest::addColumn<double>("factor");
    QTest::addColumn<QSize>("label");
    QTest::addColumn<int>("lastCode");

    const double in4 = std::pow(1.25, 4);
    QTest::newRow("four in reach the top") << QSize(1000, 700) << 4 << in4 << QSize(2441, 1709) << 1;
    QTest::newRow("a fifth in stays") << QSize(1000, 700) << 5 << in4 << QSize(2441, 1709) << 1;
    QTest::newRow("eleven out reach the bottom")
        << QSize(1000, 700) << -11 << std::pow(0.8, 11) << QSize(86, 60) << 2;
    QTest::newRow("a twelfth out stays")
        << QSize(1000, 700) << -12 << std::pow(0.8, 11) << QSize(86, 60) << 2;
    QTest::newRow("never below two pixels") << QSize(60, 1) << -12 << std::pow(0.8, 11) << QSize(5, 2) << 2;
}

// Codes of sglLargeImageCannotZoom: 1 no further in, 2 no further out, 3 both ways.
void TestImageViewWidget::zoomLimits()
{
    QFETCH(QSize, page);
    QFETCH(int, steps);
    QFETCH(double, factor);

    Workspace& ws = *m_ws;
    ws.view->ShowLargeImage(PageFiles::Write(m_dir->path(), "page.png", page, Qt::darkCyan));
    ws.view->NormalSize();
    QCOMPARE(ws.LargeLabel()->size(), page);
    QSignalSpy spy(ws.view, &ImageViewWidget::sglLargeImageCannotZoom);
    for (int i = 0; i < std::abs(steps); ++i)
        steps > 0 ? ws.view->ZoomIn() : ws.view->ZoomOut();
    QCOMPARE(spy.count(), std::abs(steps));
    QTEST(spy.last().at(0).toInt(), "lastCode");
    QVERIFY2(std::abs(ws.view->GetScaleFactor() - factor) < 1e-12, qPrintable(QString::number(factor)));
    QTEST(ws.LargeLabel()->size(), "label");
}

// A re-scanned page's decode replaces the old one in the cache; a page whose
// scan never finished shows an upright placeholder, never the page before it.
void TestImageViewWidget::replacedAndUnfinishedPages()
{
    Workspace& ws = *m_ws;
    ws.view->AddImage(PageFiles::Write(m_dir->path(), "a.png", QSize(160, 120), Qt::red));
    ws.view->AddImage(m_dir->filePath("0002.jpg"));
    ws.view->SetSelection(0);
    const int cached = ws.view->CachedPageCount();
    ws.view->ReplaceImage(0, PageFiles::Write(m_dir->path(), "b.png", QSize(160, 120), Qt::blue));
    QCOMPARE(ws.view->CachedPageCount(), cached);
    ws.view->SetSelection(1);
    const QImage shown = Shown(ws);
    QVERIFY(!shown.isNull());
    QVERIFY2(shown.height() > shown.width(),
             qPrintable(QString("%1x%2").arg(shown.width()).arg(shown.height())));
    QVERIFY(!PageFiles::Near(PageFiles::CenterColor(shown), Qt::blue));
}

// Pages decoded at full size leave the cache once their bytes pass its
// budget, long before its page count is reached.
void TestImageViewWidget::fullSizePagesKeepToTheBudget()
{
    Workspace& ws = *m_ws;
    for (int i = 0; i < 2; ++i) {
        ws.view->AddImage(PageFiles::Write(m_dir->path(), QString("big%1.jpg").arg(i), QSize(3000, 3000),
                                           PageFiles::ColorFor(i)));
        ws.view->JumpTo(i);
        ws.view->NormalSize();
        QTRY_COMPARE(Shown(ws).size(), QSize(3000, 3000));
    }
    // Two full pages of 36 MB each pass the 64 MB budget: the first goes.
    QVERIFY2(ws.view->CachedPageCount() <= 4, qPrintable(QString::number(ws.view->CachedPageCount())));
}

void TestImageViewWidget::rewrittenPagesNeverStale_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 2") << 2u;
}

// Seeded walks through a list of pages that are turned and whose files are
// rewritten meanwhile, the way the program and other processes do; after
// every step the large view shows the current file as it is now, never a
// decode of an earlier file or of another page; the thumbnails end up
// showing the files as they are now, turned.
void TestImageViewWidget::rewrittenPagesNeverStale()
{
    QFETCH(quint32, seed);

    struct Page {
        QString path;
        QColor left, right;
        int turns = 0; // quarter turns clockwise the list holds for the page
    };
    const int count = 30;
    QVector<Page> files(count);
    int colours = 0;
    // Written over the file in place, or beside it and renamed over it.
    const auto rewrite = [&](int i, bool inPlace) {
        files[i].left = PageFiles::ColorFor(colours);
        files[i].right = PageFiles::ColorFor(colours + 5);
        ++colours;
        const QString target = inPlace ? files[i].path : files[i].path + QStringLiteral(".new.jpg");
        QVERIFY(!PageFiles::WriteSplit(QFileInfo(target).path(), QFileInfo(target).fileName(),
                                       QSize(600, 800), files[i].left, files[i].right)
                     .isEmpty());
        if (!inPlace)
            QVERIFY(std::rename(QFile::encodeName(target).constData(),
                                QFile::encodeName(files[i].path).constData()) == 0);
    };
    Workspace& ws = *m_ws;
    for (int i = 0; i < count; ++i) {
        files[i].path = m_dir->filePath(QStringLiteral("page%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        rewrite(i, false);
        ws.view->AddImage(files[i].path);
    }
    ws.view->SetSelection(0);

    // The colour a page shows at the left middle (upright or upside down) or
    // at the top middle (on its side).
    const auto check = [](const QImage& image, const Page& page) {
        const bool upright = page.turns % 2 == 0;
        const QColor got = upright ? At(image, 0.25, 0.5) : At(image, 0.5, 0.25);
        return PageFiles::Near(got, page.turns < 2 ? page.left : page.right, 40);
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
        case 4: {
            // Right, left or half way round: one, three or two quarters.
            const int quarters = 1 + int(random.bounded(3));
            steps << QStringLiteral("turn %1").arg(quarters * 90);
            quarters == 1   ? ws.view->RotateRight()
            : quarters == 3 ? ws.view->RotateLeft()
                            : ws.view->Rotate180();
            files[current].turns = (files[current].turns + quarters) % 4;
            break;
        }
        case 5:
            steps << QStringLiteral("rewrite %1, redraw").arg(other);
            rewrite(other, false);
            ws.view->RedrawPage(files[other].path);
            break;
        case 6: {
            // A page near the current one, likely decoded ahead; nobody says so.
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
        // Also a file rewritten unannounced shows as it is now.
        const QImage image = ws.Picture(row);
        QVERIFY2(check(image, files[row]), qPrintable(QStringLiteral("thumbnail %1").arg(row)));
    }
    // A handful of pages around the current one, not the walk's history.
    QVERIFY2(ws.view->CachedPageCount() <= 12, qPrintable(QString::number(ws.view->CachedPageCount())));
}

QTEST_MAIN(TestImageViewWidget)
#include "tst_imageviewwidget.moc"
