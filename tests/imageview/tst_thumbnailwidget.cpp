#include "imageviewwidget.h"
#include "pagefiles.h"
#include "thumblistwidget.h"
#include "thumbnailwidget.h"
#include "workspace.h"

#include <QFile>
#include <QHash>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {
// Relative luminance of an sRGB colour (WCAG 2).
double Luminance(QRgb rgb)
{
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) + 0.0722 * linear(qBlue(rgb));
}

double Contrast(QRgb a, QRgb b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of the page number of `row` as painted in `shot` (the whole
// list): the background is the commonest colour of the number's box, the
// number's colour the pixel that stands out most from it.
double NumberContrast(const Workspace& ws, const QImage& shot, int row, QString* detail)
{
    QLabel* number = ws.Thumb(row)->findChild<QLabel*>(QStringLiteral("lblIndex"));
    const QRect box(number->mapTo(ws.list, QPoint(0, 0)), number->size());
    QHash<QRgb, int> counts;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            counts[shot.pixel(x, y) | 0xff000000u] += 1;
        }
    }
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    double best = 1.0;
    QRgb ink = background;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double ratio = Contrast(it.key(), background);
        if (ratio > best) {
            best = ratio;
            ink = it.key();
        }
    }
    *detail = QStringLiteral("number %1 on %2: %3:1")
                  .arg(QColor(ink).name(), QColor(background).name())
                  .arg(best, 0, 'f', 2);
    return best;
}
} // namespace

class TestThumbnailWidget : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void thumbnailSize_data();
    void thumbnailSize();
    void undecodable_data();
    void undecodable();
    void interruptedPage();
    void fileIndex_data();
    void fileIndex();
    void reset_data();
    void reset();
    void pageNumberContrast_data();
    void pageNumberContrast();

private:
    QLabel* Label(ThumbnailWidget& widget, const char* name);
    QTemporaryDir m_dir;
};

QLabel* TestThumbnailWidget::Label(ThumbnailWidget& widget, const char* name)
{
    return widget.findChild<QLabel*>(QLatin1String(name));
}

void TestThumbnailWidget::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestThumbnailWidget::thumbnailSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("pageSize");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("A4 portrait jpg") << "a4p.jpg" << QSize(2480, 3508) << QSize(71, 100);
    // Colour TIFF pages this large are decoded in the background.
    QTest::newRow("A4 portrait tiff") << "a4p.tiff" << QSize(2480, 3508) << QSize(71, 100);
    QTest::newRow("A4 landscape 1-bit tiff") << "a4l-bw.tiff" << QSize(3508, 2480) << QSize(100, 71);
    QTest::newRow("small page is enlarged") << "small.pnm" << QSize(50, 20) << QSize(100, 40);
    QTest::newRow("long strip") << "strip.png" << QSize(4000, 40) << QSize(100, 1);
    // The content decides the decoder, not the name.
    QTest::newRow("png named jpg") << "named.jpg" << QSize(200, 400) << QSize(50, 100);
}

void TestThumbnailWidget::thumbnailSize()
{
    QFETCH(QString, name);
    QFETCH(QSize, pageSize);
    QFETCH(QSize, expected);

    QString path;
    QColor color = Qt::darkGreen;
    if (name.endsWith(QLatin1String("-bw.tiff"))) {
        QImage page(pageSize, QImage::Format_Mono);
        page.fill(1);
        page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        path = m_dir.filePath(name);
        QVERIFY(page.save(path, "TIFF"));
        color = Qt::black;
    } else if (name == QLatin1String("named.jpg")) {
        const QString png = PageFiles::Write(m_dir.path(), "named.png", pageSize, Qt::darkGreen);
        path = m_dir.filePath(name);
        QFile::remove(path);
        QVERIFY(QFile::copy(png, path));
    } else {
        path = PageFiles::Write(m_dir.path(), name, pageSize, Qt::darkGreen);
    }
    QVERIFY2(!path.isEmpty(), "page file could not be written");

    ThumbnailWidget widget(path);
    QTRY_VERIFY(!widget.IsLoading());
    const QPixmap pixmap = Label(widget, "lblImage")->pixmap(Qt::ReturnByValue);
    QCOMPARE(pixmap.size(), expected);
    QVERIFY(PageFiles::Near(PageFiles::CenterColor(pixmap.toImage()), color));
}

void TestThumbnailWidget::undecodable_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("create");

    QTest::newRow("empty file") << QByteArray() << true;
    QTest::newRow("text") << QByteArray("not an image at all\n") << true;
    QByteArray truncated("\xff\xd8\xff\xe0\x00\x10JFIF", 10);
    QTest::newRow("truncated jpeg header") << truncated << true;
}

void TestThumbnailWidget::undecodable()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, create);

    const QString bad = m_dir.filePath(QStringLiteral("bad-%1.jpg").arg(QTest::currentDataTag()));
    if (create) {
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    ThumbnailWidget fresh(bad);
    QVERIFY(Label(fresh, "lblImage")->pixmap(Qt::ReturnByValue).isNull());

    const QString good = PageFiles::Write(m_dir.path(), "good.png", QSize(300, 150), Qt::blue);
    ThumbnailWidget shown(good);
    const qint64 before = Label(shown, "lblImage")->pixmap(Qt::ReturnByValue).cacheKey();
    shown.ScalImage(bad);
    const QPixmap after = Label(shown, "lblImage")->pixmap(Qt::ReturnByValue);
    QCOMPARE(after.cacheKey(), before);
    QCOMPARE(after.size(), QSize(100, 50));
}

// A page whose file never got its final name (only the ".part" the scan
// loop was writing) is marked as such, and the mark goes with a real page.
void TestThumbnailWidget::interruptedPage()
{
    const QString page = m_dir.filePath(QStringLiteral("0007.jpg"));
    QFile part(page + QStringLiteral(".part"));
    QVERIFY(part.open(QIODevice::WriteOnly));
    part.write("\xff\xd8\xff\xe0 half a page");
    part.close();

    ThumbnailWidget widget(page);
    QCOMPARE(Label(widget, "lblText")->text(), QStringLiteral("未完成"));
    const QPixmap mark = Label(widget, "lblImage")->pixmap(Qt::ReturnByValue);
    QVERIFY(!mark.isNull());
    QVERIFY(mark.width() <= ThumbnailWidget::kBoxSize && mark.height() <= ThumbnailWidget::kBoxSize);

    const QString good = PageFiles::Write(m_dir.path(), "whole.png", QSize(300, 150), Qt::blue);
    widget.Reset(good, 6);
    QCOMPARE(Label(widget, "lblText")->text(), QString());
    QCOMPARE(Label(widget, "lblImage")->pixmap(Qt::ReturnByValue).size(), QSize(100, 50));
    QCOMPARE(Label(widget, "lblIndex")->text(), QStringLiteral("7"));
}

void TestThumbnailWidget::fileIndex_data()
{
    QTest::addColumn<QList<int>>("indices");
    QTest::addColumn<QString>("expected");

    QTest::newRow("new widget shows no number") << QList<int>{} << QString();
    QTest::newRow("zero shows 1") << QList<int>{0} << QStringLiteral("1");
    QTest::newRow("negative on empty") << QList<int>{-1} << QString();
    QTest::newRow("negative keeps number") << QList<int>{4, -1} << QStringLiteral("5");
    QTest::newRow("renumbered") << QList<int>{4, 122} << QStringLiteral("123");
}

void TestThumbnailWidget::fileIndex()
{
    QFETCH(QList<int>, indices);
    QFETCH(QString, expected);

    ThumbnailWidget widget(QString{});
    for (int index : indices) {
        widget.ResetFileIndex(index);
    }
    QCOMPARE(Label(widget, "lblIndex")->text(), expected);
}

void TestThumbnailWidget::reset_data()
{
    QTest::addColumn<bool>("withPath");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("number");

    QTest::newRow("new page") << true << -1 << QString();
    QTest::newRow("new page and number") << true << 6 << QStringLiteral("7");
    QTest::newRow("drop everything") << false << -1 << QString();
}

void TestThumbnailWidget::reset()
{
    QFETCH(bool, withPath);
    QFETCH(int, index);
    QFETCH(QString, number);

    const QString wide = PageFiles::Write(m_dir.path(), "wide.png", QSize(400, 200), Qt::red);
    const QString tall = PageFiles::Write(m_dir.path(), "tall.png", QSize(200, 400), Qt::blue);
    ThumbnailWidget widget(wide);
    widget.ResetFileIndex(2);

    widget.Reset(withPath ? tall : QString(), index);
    QCOMPARE(Label(widget, "lblIndex")->text(), number);
    const QPixmap pixmap = Label(widget, "lblImage")->pixmap(Qt::ReturnByValue);
    if (!withPath) {
        QVERIFY(pixmap.isNull());
        return;
    }
    QCOMPARE(pixmap.size(), QSize(50, 100));
    QVERIFY(PageFiles::Near(PageFiles::CenterColor(pixmap.toImage()), Qt::blue));
}

void TestThumbnailWidget::pageNumberContrast_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("selected");

    // Four pages; steps: "sel R" makes row R the only selected one, "all"
    // selects every row, "reverse" inverts the selection, "rep R" replaces
    // the page of row R (current) with a new file.
    QTest::newRow("unselected") << "sel 1" << 0 << false;
    QTest::newRow("selected") << "sel 1" << 1 << true;
    QTest::newRow("selected together with all others") << "sel 1; all" << 3 << true;
    QTest::newRow("selected, then another one") << "sel 2; sel 0" << 2 << false;
    QTest::newRow("selection inverted") << "sel 2; reverse" << 2 << false;
    QTest::newRow("inverted into the selection") << "sel 2; reverse" << 3 << true;
    QTest::newRow("selected page replaced") << "sel 1; rep 1" << 1 << true;
}

// The page number must stay readable (WCAG contrast at least 4.5:1) on the
// item as the list paints it, selected or not.
void TestThumbnailWidget::pageNumberContrast()
{
    QFETCH(QString, steps);
    QFETCH(int, row);
    QFETCH(bool, selected);

    Workspace ws;
    for (int i = 0; i < 4; ++i) {
        ws.view->AddImage(PageFiles::Write(m_dir.path(), QStringLiteral("n%1.png").arg(i), QSize(120, 160),
                                           PageFiles::ColorFor(i)));
    }
    ws.view->RefreshInfos();
    for (const QString& step : steps.split(QStringLiteral("; "))) {
        const QStringList parts = step.split(QLatin1Char(' '));
        if (parts.at(0) == QLatin1String("sel")) {
            ws.view->SetSelection(parts.at(1).toInt());
        } else if (parts.at(0) == QLatin1String("all")) {
            ws.view->SelectAll();
        } else if (parts.at(0) == QLatin1String("reverse")) {
            ws.view->SelectReverse();
        } else if (parts.at(0) == QLatin1String("rep")) {
            const int at = parts.at(1).toInt();
            ws.view->ReplaceImage(at, PageFiles::Write(m_dir.path(), QStringLiteral("r%1.png").arg(at),
                                                       QSize(160, 120), PageFiles::ColorFor(7)));
        }
    }
    QCOMPARE(ws.list->item(row)->isSelected(), selected);
    QVERIFY(!ws.Thumb(row)->findChild<QLabel*>(QStringLiteral("lblIndex"))->text().isEmpty());
    ws.list->scrollToItem(ws.list->item(row));
    QTest::qWait(1);

    const QImage shot = ws.list->grab().toImage();
    QString detail;
    const double ratio = NumberContrast(ws, shot, row, &detail);
    QVERIFY2(ratio >= 4.5, qPrintable(detail));
}

QTEST_MAIN(TestThumbnailWidget)
#include "tst_thumbnailwidget.moc"
