// What the page list and the large view really paint: every text of a
// thumbnail (its number, the interrupted-scan mark) at 4.5:1 or more against
// the background under it in every row state, and a frame that shows which
// of the two has the keyboard focus.
#include "../support/contrast.h"
#include "imageviewwidget.h"
#include "pagefiles.h"
#include "thumblistwidget.h"
#include "thumbnailitemdelegate.h"
#include "workspace.h"

#include "pagelist.h"
#include <QHash>
#include <QItemSelectionModel>
#include <QScrollArea>
#include <QTemporaryDir>

#include <QtTest>
#include <cmath>

using Contrast::Ratio;
using Contrast::TextContrast;

class TestFocusContrast : public QObject {
    Q_OBJECT
private slots:
    void textContrast_data();
    void textContrast();
    void focusFrame_data();
    void focusFrame();
    void numbersWhileScanning_data();
    void numbersWhileScanning();
};

void TestFocusContrast::textContrast_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QString>("label");
    // Row 0 is the current page; row 1 a plain page; row 2 a page whose scan
    // was cut off.
    QTest::newRow("number, current") << 0 << true << "number";
    QTest::newRow("number, normal") << 1 << false << "number";
    QTest::newRow("number, selected") << 1 << true << "number";
    QTest::newRow("number, interrupted") << 2 << false << "number";
    QTest::newRow("number, interrupted selected") << 2 << true << "number";
    QTest::newRow("mark, interrupted") << 2 << false << "mark";
    QTest::newRow("mark, interrupted selected") << 2 << true << "mark";
    // Row 1's text was recognised: its plate beside the number.
    QTest::newRow("text mark, normal") << 1 << false << "text";
    QTest::newRow("text mark, selected") << 1 << true << "text";
}

void TestFocusContrast::textContrast()
{
    QFETCH(int, row);
    QFETCH(bool, selected);
    QFETCH(QString, label);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Workspace ws;
    ws.view->AddImage(PageFiles::Write(dir.path(), QStringLiteral("1.png"), QSize(210, 297), Qt::white));
    ws.view->AddImage(PageFiles::Write(dir.path(), QStringLiteral("2.png"), QSize(210, 297), Qt::white));
    // Never written: the page of a scan that did not complete.
    ws.view->AddImage(dir.path() + QStringLiteral("/3.png"));
    QVERIFY(QTest::qWaitForWindowExposed(&ws.host));
    PageText text;
    text.pageSize = QSize(210, 297);
    text.paragraphs = {TextParagraph{
        {TextLine{{TextWord{QStringLiteral("word"), QRect(10, 10, 40, 12), 90}}, QRect(10, 10, 40, 12)}}}};
    QVERIFY(!text.IsEmpty());
    QVERIFY(ws.view->Pages()->SetText(ws.view->Pages()->At(1).id, text));
    ws.list->setCurrentIndex(ws.list->model()->index(0, 0));
    ws.list->clearSelection();
    const QModelIndex index = ws.list->model()->index(row, 0);
    ws.list->selectionModel()->select(index,
                                      selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
    QCOMPARE(ws.view->IsSelected(row), selected);
    // The row as the column paints it, its thumbnail arrived.
    const QImage cell = ws.Cell(row);
    const QRect rect = cell.rect();
    QRect box = ThumbnailItemDelegate::NumberRect(rect);
    if (label == QLatin1String("text")) {
        box = ThumbnailItemDelegate::TextMarkRect(rect);
    } else if (label == QLatin1String("mark")) {
        // The middle of the mark's line, where the mark's plate lies.
        const QPoint middle = ThumbnailItemDelegate::MarkRect(rect).center();
        box = QRect(middle - QPoint(16, 5), QSize(33, 11));
    }
    const QImage painted = cell.copy(box);
    QString detail;
    const double ratio = TextContrast(painted, &detail);
    QVERIFY2(ratio >= 4.5, qPrintable(label + QStringLiteral(": ") + detail));
}

void TestFocusContrast::focusFrame_data()
{
    QTest::addColumn<bool>("list");
    QTest::newRow("thumbnail column") << true;
    QTest::newRow("large view") << false;
}

void TestFocusContrast::focusFrame()
{
    QFETCH(bool, list);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Workspace ws;
    ws.view->AddImage(PageFiles::Write(dir.path(), QStringLiteral("1.png"), QSize(210, 297), Qt::white));
    QVERIFY(QTest::qWaitForWindowActive(&ws.host));
    QWidget* target = list ? static_cast<QWidget*>(ws.list) : ws.ScrollArea();
    QWidget* other = list ? static_cast<QWidget*>(ws.ScrollArea()) : ws.list;
    QVERIFY(target->focusPolicy() & Qt::TabFocus);

    other->setFocus();
    QCoreApplication::processEvents();
    QVERIFY(!target->hasFocus());
    const QImage without = target->grab().toImage();
    target->setFocus();
    QCoreApplication::processEvents();
    QVERIFY(target->hasFocus());
    const QImage with = target->grab().toImage();

    // The frame runs round the whole widget: a pixel in the middle of each
    // side, just inside the edge, changes, and reads at 3:1 or more against
    // what was there before.
    const int w = with.width();
    const int h = with.height();
    const QList<QPoint> sides = {{1, h / 2}, {w - 2, h / 2}, {w / 2, 1}, {w / 2, h - 2}};
    for (const QPoint& p : sides) {
        const QRgb a = with.pixel(p);
        const QRgb b = without.pixel(p);
        QVERIFY2(Ratio(a, b) >= 3.0, qPrintable(QStringLiteral("(%1,%2): %3 with focus, %4 without")
                                                    .arg(p.x())
                                                    .arg(p.y())
                                                    .arg(QColor(a).name(), QColor(b).name())));
    }
}

// Pages arriving from a scan, at the end or inserted among the others, are
// drawn in their rows with their own thumbnails and numbers before the scan
// ends, and the rows after an inserted one show the pages that moved down,
// numbered on.
void TestFocusContrast::numbersWhileScanning_data()
{
    QTest::addColumn<int>("scanType");
    QTest::addColumn<int>("at");
    QTest::newRow("to the end") << 1 << 3;
    QTest::newRow("before the first page") << 2 << 0;
    QTest::newRow("after the second page") << 3 << 1;
}

void TestFocusContrast::numbersWhileScanning()
{
    QFETCH(int, scanType);
    QFETCH(int, at);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Workspace ws;
    QStringList pages;
    for (int i = 0; i < 3; ++i)
        pages << PageFiles::Write(dir.path(), QStringLiteral("%1.png").arg(i), QSize(40, 60),
                                  PageFiles::ColorFor(i));
    ws.view->AddImages(pages, 0);
    ws.view->SetSelectedImgIndexForScan(scanType, at);
    for (int i = 3; i < 5; ++i) {
        const QString page = PageFiles::Write(dir.path(), QStringLiteral("%1.png").arg(i), QSize(40, 60),
                                              PageFiles::ColorFor(i));
        if (scanType == 1)
            ws.view->AddImage(page);
        else
            ws.view->InsertImage(page);
    }
    QCoreApplication::processEvents();
    QCOMPARE(ws.list->RowCount(), 5);
    QCOMPARE(ws.CheckInvariant(), QString());
    for (int row : {0, at, 4}) {
        QCOMPARE(ws.NumberShown(row), QString::number(row + 1));
    }
}

QTEST_MAIN(TestFocusContrast)
#include "tst_focuscontrast.moc"
