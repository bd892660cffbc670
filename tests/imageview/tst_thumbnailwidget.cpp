#include "pagefiles.h"
#include "thumbnailwidget.h"

#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QPixmap>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

class TestThumbnailWidget : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void form();
    void thumbnailSize_data();
    void thumbnailSize();
    void undecodable_data();
    void undecodable();
    void fileIndex_data();
    void fileIndex();
    void resetFilePath();
    void reset();

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

void TestThumbnailWidget::form()
{
    ThumbnailWidget widget(QString{});
    QCOMPARE(widget.objectName(), QStringLiteral("ThumbnailWidget"));
    QCOMPARE(widget.minimumSize(), QSize(100, 140));
    QVERIFY(widget.testAttribute(Qt::WA_DeleteOnClose));

    auto* outer = widget.findChild<QVBoxLayout*>(QStringLiteral("verticalLayout_2"));
    auto* inner = widget.findChild<QVBoxLayout*>(QStringLiteral("verticalLayout"));
    QVERIFY(outer != nullptr);
    QVERIFY(inner != nullptr);
    QCOMPARE(outer->spacing(), 0);
    QCOMPARE(outer->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(inner->sizeConstraint(), QLayout::SetFixedSize);
    QCOMPARE(inner->stretch(0), 1);
    QCOMPARE(inner->stretch(1), 8);
    QCOMPARE(inner->stretch(2), 1);

    QLabel* index = Label(widget, "lblIndex");
    QLabel* image = Label(widget, "lblImage");
    QLabel* text = Label(widget, "lblText");
    QVERIFY(index && image && text);
    QCOMPARE(inner->indexOf(index), 0);
    QCOMPARE(inner->indexOf(image), 1);
    QCOMPARE(inner->indexOf(text), 2);
    QCOMPARE(image->minimumSize(), QSize(100, 100));
    for (QLabel* label : {index, image, text}) {
        QVERIFY(label->text().isEmpty());
        QCOMPARE(label->alignment(), Qt::Alignment(Qt::AlignCenter));
    }
    QCOMPARE(index->styleSheet(), QStringLiteral("color:red;"));
    QCOMPARE(text->styleSheet(), QStringLiteral("color:black;"));
}

void TestThumbnailWidget::thumbnailSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("pageSize");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("A4 portrait jpg") << "a4p.jpg" << QSize(2480, 3508) << QSize(71, 100);
    QTest::newRow("A4 landscape jpg") << "a4l.jpg" << QSize(3508, 2480) << QSize(100, 71);
    QTest::newRow("A4 portrait tiff") << "a4p.tiff" << QSize(2480, 3508) << QSize(71, 100);
    QTest::newRow("square png") << "square.png" << QSize(600, 600) << QSize(100, 100);
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
    if (name == QLatin1String("named.jpg")) {
        const QString png = PageFiles::Write(m_dir.path(), "named.png", pageSize, Qt::darkGreen);
        path = m_dir.filePath(name);
        QFile::remove(path);
        QVERIFY(QFile::copy(png, path));
    } else {
        path = PageFiles::Write(m_dir.path(), name, pageSize, Qt::darkGreen);
    }
    QVERIFY2(!path.isEmpty(), "page file could not be written");

    ThumbnailWidget widget(path);
    const QPixmap pixmap = Label(widget, "lblImage")->pixmap(Qt::ReturnByValue);
    QCOMPARE(pixmap.size(), expected);
    QVERIFY(PageFiles::Near(PageFiles::CenterColor(pixmap.toImage()), QColor(Qt::darkGreen)));
}

void TestThumbnailWidget::undecodable_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("create");

    QTest::newRow("missing file") << QByteArray() << false;
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

void TestThumbnailWidget::resetFilePath()
{
    const QString wide = PageFiles::Write(m_dir.path(), "wide.png", QSize(400, 200), Qt::red);
    const QString tall = PageFiles::Write(m_dir.path(), "tall.png", QSize(200, 400), Qt::blue);
    ThumbnailWidget widget(wide);
    widget.ResetFileIndex(2);

    widget.ResetFilePath(tall);
    QVERIFY(Label(widget, "lblIndex")->text().isEmpty());
    const QPixmap pixmap = Label(widget, "lblImage")->pixmap(Qt::ReturnByValue);
    QCOMPARE(pixmap.size(), QSize(50, 100));
    QVERIFY(PageFiles::Near(PageFiles::CenterColor(pixmap.toImage()), Qt::blue));

    widget.ResetFilePath(QString());
    QVERIFY(Label(widget, "lblImage")->pixmap(Qt::ReturnByValue).isNull());
}

void TestThumbnailWidget::reset()
{
    const QString first = PageFiles::Write(m_dir.path(), "first.png", QSize(400, 200), Qt::red);
    const QString second = PageFiles::Write(m_dir.path(), "second.png", QSize(200, 400), Qt::blue);
    ThumbnailWidget widget(first);
    widget.Reset(second, 6);
    QCOMPARE(Label(widget, "lblIndex")->text(), QStringLiteral("7"));
    const QPixmap pixmap = Label(widget, "lblImage")->pixmap(Qt::ReturnByValue);
    QCOMPARE(pixmap.size(), QSize(50, 100));
    QVERIFY(PageFiles::Near(PageFiles::CenterColor(pixmap.toImage()), Qt::blue));
}

QTEST_MAIN(TestThumbnailWidget)
#include "tst_thumbnailwidget.moc"
