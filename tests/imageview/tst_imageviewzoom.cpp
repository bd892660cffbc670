#include "imageviewwidget.h"
#include "pagefiles.h"
#include "workspace.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>

// The workspace's viewport is 320 x 400 pixels, so a 200 x 100 page fits at
// a factor of exactly 1.6.
class TestImageViewZoom : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void zoomInStopsAtTwo();
    void zoomSteps_data();
    void zoomSteps();
    void labelNeverBelowTwoPixels_data();
    void labelNeverBelowTwoPixels();
    void fitToWindow_data();
    void fitToWindow();
    void normalSize();
    void withoutPage();
    void scrollBarsFollowZoom();
    void dragScrolls();
    void wheelZooms_data();
    void wheelZooms();

private:
    QString Page(QSize size);
    static QList<int> Codes(const QSignalSpy& spy);
    static void Mouse(QLabel* label, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons);

    QTemporaryDir m_dir;
};

void TestImageViewZoom::initTestCase()
{
    QVERIFY(m_dir.isValid());
    Workspace ws;
    QApplication::processEvents();
    QCOMPARE(ws.ScrollArea()->viewport()->size(), QSize(320, 400));
}

QString TestImageViewZoom::Page(QSize size)
{
    const QString name = QStringLiteral("%1x%2.png").arg(size.width()).arg(size.height());
    if (!QFile::exists(m_dir.filePath(name))) {
        PageFiles::Write(m_dir.path(), name, size, Qt::darkCyan);
    }
    return m_dir.filePath(name);
}

QList<int> TestImageViewZoom::Codes(const QSignalSpy& spy)
{
    QList<int> codes;
    for (const QList<QVariant>& args : spy) {
        codes << args.at(0).toInt();
    }
    return codes;
}

void TestImageViewZoom::Mouse(QLabel* label, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                              Qt::MouseButtons buttons)
{
    // `pos` is on the screen-fixed viewport; the label moves as it scrolls.
    const QPoint global = label->parentWidget()->mapToGlobal(pos);
    QMouseEvent event(type, label->mapFromGlobal(global), label->window()->mapFromGlobal(global), global,
                      button, buttons, Qt::NoModifier);
    QApplication::sendEvent(label, &event);
}

void TestImageViewZoom::zoomInStopsAtTwo()
{
    Workspace ws;
    ws.view->ShowLargeImage(Page(QSize(200, 100)));
    QCOMPARE(ws.view->GetScaleFactor(), 1.6);
    QCOMPARE(ws.LargeLabel()->size(), QSize(320, 160));

    QSignalSpy spy(ws.view, &ImageViewWidget::sglLargeImageCannotZoom);
    ws.view->ZoomIn();
    QCOMPARE(ws.view->GetScaleFactor(), 2.0);
    QCOMPARE(ws.LargeLabel()->size(), QSize(400, 200));
    QCOMPARE(ws.view->GetZoomMode(), ImageViewWidget::ZoomManual);
    ws.view->ZoomIn();
    QCOMPARE(ws.view->GetScaleFactor(), 2.0);
    QCOMPARE(ws.LargeLabel()->size(), QSize(400, 200));
    QCOMPARE(Codes(spy), (QList<int>{1, 1}));
}

static QList<int> Repeat(int code, int times)
{
    QList<int> codes;
    for (int i = 0; i < times; ++i) {
        codes << code;
    }
    return codes;
}

void TestImageViewZoom::zoomSteps_data()
{
    QTest::addColumn<bool>("in");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<double>("factor");

    QTest::newRow("four in") << true << QList<int>{3, 3, 3, 1} << 2.44140625;
    QTest::newRow("five in") << true << QList<int>{3, 3, 3, 1, 1} << 2.44140625;
    QTest::newRow("ten out") << false << Repeat(3, 10) << std::pow(0.8, 10);
    QTest::newRow("eleven out") << false << (Repeat(3, 10) << 2) << std::pow(0.8, 11);
    QTest::newRow("twelve out") << false << (Repeat(3, 10) << 2 << 2) << std::pow(0.8, 11);
}

void TestImageViewZoom::zoomSteps()
{
    QFETCH(bool, in);
    QFETCH(QList<int>, codes);
    QFETCH(double, factor);

    Workspace ws;
    ws.view->ShowLargeImage(Page(QSize(1000, 700)));
    ws.view->NormalSize();
    QCOMPARE(ws.view->GetScaleFactor(), 1.0);

    QSignalSpy spy(ws.view, &ImageViewWidget::sglLargeImageCannotZoom);
    for (int i = 0; i < codes.size(); ++i) {
        in ? ws.view->ZoomIn() : ws.view->ZoomOut();
    }
    QCOMPARE(Codes(spy), codes);
    QVERIFY2(std::abs(ws.view->GetScaleFactor() - factor) < 1e-12,
             qPrintable(QString::number(ws.view->GetScaleFactor(), 'g', 17)));
    QCOMPARE(ws.LargeLabel()->size(), QSize(qRound(1000 * factor), qRound(700 * factor)));
}

void TestImageViewZoom::labelNeverBelowTwoPixels_data()
{
    QTest::addColumn<QSize>("pageSize");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("3 x 3") << QSize(3, 3) << QSize(2, 2);
    QTest::newRow("1 x 60") << QSize(1, 60) << QSize(2, 5);
    QTest::newRow("60 x 1") << QSize(60, 1) << QSize(5, 2);
}

void TestImageViewZoom::labelNeverBelowTwoPixels()
{
    QFETCH(QSize, pageSize);
    QFETCH(QSize, expected);

    Workspace ws;
    ws.view->ShowLargeImage(Page(pageSize));
    ws.view->NormalSize();
    for (int i = 0; i < 12; ++i) {
        ws.view->ZoomOut();
    }
    QCOMPARE(ws.LargeLabel()->size(), expected);
}

void TestImageViewZoom::fitToWindow_data()
{
    QTest::addColumn<QSize>("pageSize");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("width bound, enlarged") << QSize(200, 100) << QSize(320, 160);
    QTest::newRow("height bound, reduced") << QSize(100, 800) << QSize(50, 400);
    QTest::newRow("A4 page") << QSize(2480, 3508) << QSize(283, 400);
    QTest::newRow("exact fit") << QSize(320, 400) << QSize(320, 400);
}

void TestImageViewZoom::fitToWindow()
{
    QFETCH(QSize, pageSize);
    QFETCH(QSize, expected);

    Workspace ws;
    QSignalSpy spy(ws.view, &ImageViewWidget::sglLargeImageCannotZoom);
    ws.view->ShowLargeImage(Page(pageSize));
    QCOMPARE(ws.view->GetZoomMode(), ImageViewWidget::ZoomFit);
    QCOMPARE(ws.LargeLabel()->size(), expected);
    QCOMPARE(Codes(spy), QList<int>{3});

    // Zoomed away and fitted again, from whatever factor the view had.
    ws.view->ZoomIn();
    ws.view->ZoomIn();
    ws.view->FitToWindow();
    QCOMPARE(ws.view->GetZoomMode(), ImageViewWidget::ZoomFit);
    QCOMPARE(ws.LargeLabel()->size(), expected);
    QCOMPARE(Codes(spy).last(), 3);
}

void TestImageViewZoom::normalSize()
{
    Workspace ws;
    ws.view->ShowLargeImage(Page(QSize(200, 100)));
    ws.view->ZoomIn();
    QSignalSpy spy(ws.view, &ImageViewWidget::sglLargeImageCannotZoom);
    ws.view->NormalSize();
    QCOMPARE(ws.view->GetZoomMode(), ImageViewWidget::ZoomNormal);
    QCOMPARE(ws.view->GetScaleFactor(), 1.0);
    QCOMPARE(ws.LargeLabel()->size(), QSize(200, 100));
    QCOMPARE(Codes(spy), QList<int>{3});
    ws.view->ZoomIn();
    QCOMPARE(ws.LargeLabel()->size(), QSize(250, 125));
}

void TestImageViewZoom::withoutPage()
{
    Workspace ws;
    ws.view->ZoomIn();
    ws.view->FitToWindow();
    QCOMPARE(ws.view->GetScaleFactor(), 1.0);
    QCOMPARE(ws.LargeLabel()->size(), QSize(0, 0));

    // An undecodable page empties the view and reports no zoom state.
    ws.view->ShowLargeImage(Page(QSize(200, 100)));
    const QString bad = m_dir.filePath(QStringLiteral("bad.jpg"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("definitely not a jpeg");
    file.close();
    QSignalSpy spy(ws.view, &ImageViewWidget::sglLargeImageCannotZoom);
    ws.view->ShowLargeImage(bad);
    QVERIFY(ws.LargeLabel()->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(spy.count(), 0);
}

void TestImageViewZoom::scrollBarsFollowZoom()
{
    Workspace ws;
    ws.view->ShowLargeImage(Page(QSize(1000, 1000)));
    ws.view->NormalSize();
    QScrollBar* hbar = ws.ScrollArea()->horizontalScrollBar();
    QScrollBar* vbar = ws.ScrollArea()->verticalScrollBar();
    hbar->setValue(100);
    vbar->setValue(600);
    QCOMPARE(hbar->value(), 100);
    QCOMPARE(vbar->value(), 600);

    ws.view->ZoomIn();
    // The point at the centre of the view stays at the centre.
    QCOMPARE(hbar->value(), int(1.25 * 100 + 0.25 * hbar->pageStep() / 2));
    QCOMPARE(vbar->value(), std::min(vbar->maximum(), int(1.25 * 600 + 0.25 * vbar->pageStep() / 2)));

    ws.view->ZoomOut();
    ws.view->ZoomOut();
    ws.view->ZoomOut();
    QVERIFY(hbar->value() >= hbar->minimum() && hbar->value() <= hbar->maximum());
    QVERIFY(vbar->value() >= vbar->minimum() && vbar->value() <= vbar->maximum());
}

void TestImageViewZoom::dragScrolls()
{
    Workspace ws;
    ws.view->ShowLargeImage(Page(QSize(1000, 1000)));
    ws.view->NormalSize();
    QScrollBar* hbar = ws.ScrollArea()->horizontalScrollBar();
    QScrollBar* vbar = ws.ScrollArea()->verticalScrollBar();
    hbar->setValue(300);
    vbar->setValue(300);
    QLabel* label = ws.LargeLabel();

    Mouse(label, QEvent::MouseButtonPress, QPoint(200, 200), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(QApplication::overrideCursor() != nullptr);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::OpenHandCursor);

    // The first move only starts the drag; later moves scroll against the mouse.
    Mouse(label, QEvent::MouseMove, QPoint(200, 200), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(hbar->value(), 300);
    QCOMPARE(vbar->value(), 300);
    Mouse(label, QEvent::MouseMove, QPoint(190, 180), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(hbar->value(), 310);
    QCOMPARE(vbar->value(), 320);
    Mouse(label, QEvent::MouseMove, QPoint(220, 200), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(hbar->value(), 280);
    QCOMPARE(vbar->value(), 300);

    Mouse(label, QEvent::MouseButtonRelease, QPoint(220, 200), Qt::LeftButton, Qt::NoButton);
    QVERIFY(QApplication::overrideCursor() == nullptr ||
            QApplication::overrideCursor()->shape() == Qt::ArrowCursor);

    // Moving without the button held scrolls nothing; a new drag starts afresh.
    Mouse(label, QEvent::MouseMove, QPoint(100, 100), Qt::NoButton, Qt::NoButton);
    Mouse(label, QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton, Qt::LeftButton);
    Mouse(label, QEvent::MouseMove, QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(hbar->value(), 280);
    QCOMPARE(vbar->value(), 300);
    Mouse(label, QEvent::MouseButtonRelease, QPoint(50, 50), Qt::LeftButton, Qt::NoButton);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestImageViewZoom::wheelZooms_data()
{
    QTest::addColumn<int>("delta");
    QTest::addColumn<double>("factor");

    QTest::newRow("forward zooms in") << 120 << 1.25;
    QTest::newRow("backward zooms out") << -120 << 0.8;
}

void TestImageViewZoom::wheelZooms()
{
    QFETCH(int, delta);
    QFETCH(double, factor);

    Workspace ws;
    ws.view->ShowLargeImage(Page(QSize(200, 100)));
    ws.view->NormalSize();
    QLabel* label = ws.LargeLabel();
    const QPointF pos(10, 10);
    QWheelEvent event(pos, label->mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(label, &event);
    QCOMPARE(ws.view->GetScaleFactor(), factor);
    QCOMPARE(ws.view->GetZoomMode(), ImageViewWidget::ZoomManual);
}

QTEST_MAIN(TestImageViewZoom)
#include "tst_imageviewzoom.moc"
