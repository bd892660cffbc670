#include "imageviewwidget.h"
#include "pagefiles.h"
#include "thumblistwidget.h"
#include "thumbnailwidget.h"
#include "workspace.h"

#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

// Pages are 80 x 40 with a red left half and a blue right half, so the
// direction of a rotation can be read from the pixels.
class TestImageViewRotate : public QObject {
    Q_OBJECT

private slots:
    void init();
    void rotateKeepsFormat_data();
    void rotateKeepsFormat();
    void selectionWithoutCurrentRow();
    void selectionWithCurrentRow();
    void failedRotationKeepsPage_data();
    void failedRotationKeepsPage();

private:
    QString SplitPage(const QString& name);
    static QImage Read(const QString& path, QByteArray* format = nullptr);
    static QPixmap Thumbnail(Workspace& ws, int row);
    static void Rotate(Workspace& ws, int angle);

    QScopedPointer<QTemporaryDir> m_dir;
};

void TestImageViewRotate::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

QString TestImageViewRotate::SplitPage(const QString& name)
{
    return PageFiles::WriteSplit(m_dir->path(), name, QSize(80, 40), QColor(220, 20, 20),
                                 QColor(20, 20, 220));
}

QImage TestImageViewRotate::Read(const QString& path, QByteArray* format)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (format != nullptr) {
        *format = reader.format();
    }
    return reader.read();
}

QPixmap TestImageViewRotate::Thumbnail(Workspace& ws, int row)
{
    return ws.Thumb(row)->findChild<QLabel*>(QStringLiteral("lblImage"))->pixmap(Qt::ReturnByValue);
}

void TestImageViewRotate::Rotate(Workspace& ws, int angle)
{
    switch (angle) {
    case -90:
        ws.view->RotateLeft();
        break;
    case 90:
        ws.view->RotateRight();
        break;
    default:
        ws.view->Rotate180();
        break;
    }
}

void TestImageViewRotate::rotateKeepsFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("angle");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("redAt");

    const struct {
        const char* name;
        const char* format;
    } files[] = {{"page.jpg", "jpeg"}, {"page.tiff", "tiff"}, {"page.pnm", "ppm"}, {"page.png", "png"}};
    for (const auto& file : files) {
        const QString name = QLatin1String(file.name);
        const QByteArray format(file.format);
        QTest::addRow("%s right", file.name) << name << format << 90 << QSize(40, 80) << QPoint(20, 20);
        QTest::addRow("%s left", file.name) << name << format << -90 << QSize(40, 80) << QPoint(20, 60);
        QTest::addRow("%s half turn", file.name) << name << format << 180 << QSize(80, 40) << QPoint(60, 20);
    }
}

void TestImageViewRotate::rotateKeepsFormat()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(int, angle);
    QFETCH(QSize, size);
    QFETCH(QPoint, redAt);

    const QString path = SplitPage(name);
    QVERIFY(!path.isEmpty());
    Workspace ws;
    ws.view->AddImage(path);
    ws.view->SetSelection(0);
    QCOMPARE(ws.LargeLabel()->pixmap(Qt::ReturnByValue).size(), QSize(80, 40));
    QCOMPARE(Thumbnail(ws, 0).size(), QSize(100, 50));

    Rotate(ws, angle);

    QByteArray written;
    const QImage page = Read(path, &written);
    QCOMPARE(written, format);
    QCOMPARE(page.size(), size);
    QVERIFY2(PageFiles::Near(page.pixelColor(redAt), QColor(220, 20, 20), 40),
             qPrintable(page.pixelColor(redAt).name()));
    QCOMPARE(ws.LargeLabel()->pixmap(Qt::ReturnByValue).size(), size);
    QCOMPARE(Thumbnail(ws, 0).size(), size.scaled(100, 100, Qt::KeepAspectRatio));
    QCOMPARE(ws.view->GetPagePaths(), QVector<QString>{path});
}

void TestImageViewRotate::selectionWithoutCurrentRow()
{
    Workspace ws;
    const QStringList paths = {SplitPage("a.jpg"), SplitPage("b.jpg"), SplitPage("c.jpg")};
    for (const QString& path : paths) {
        ws.view->AddImage(path);
    }
    ws.view->SetSelection(0);
    ws.view->ClearItemSelction();
    ws.list->item(1)->setSelected(true);
    ws.list->item(2)->setSelected(true);
    const qint64 shown = ws.LargeLabel()->pixmap(Qt::ReturnByValue).cacheKey();
    const QSize labelSize = ws.LargeLabel()->size();
    const qint64 firstThumb = Thumbnail(ws, 0).cacheKey();

    ws.view->RotateRight();

    QCOMPARE(ws.LargeLabel()->pixmap(Qt::ReturnByValue).cacheKey(), shown);
    QCOMPARE(ws.LargeLabel()->size(), labelSize);
    QCOMPARE(Read(paths.at(0)).size(), QSize(80, 40));
    QCOMPARE(Read(paths.at(1)).size(), QSize(40, 80));
    QCOMPARE(Read(paths.at(2)).size(), QSize(40, 80));
    QCOMPARE(Thumbnail(ws, 0).cacheKey(), firstThumb);
    QCOMPARE(Thumbnail(ws, 1).size(), QSize(50, 100));
    QCOMPARE(Thumbnail(ws, 2).size(), QSize(50, 100));
}

void TestImageViewRotate::selectionWithCurrentRow()
{
    Workspace ws;
    const QStringList paths = {SplitPage("a.tiff"), SplitPage("b.tiff"), SplitPage("c.tiff")};
    for (const QString& path : paths) {
        ws.view->AddImage(path);
    }
    ws.view->SetSelection(2);
    ws.list->item(0)->setSelected(true);

    ws.view->RotateLeft();

    QCOMPARE(Read(paths.at(0)).size(), QSize(40, 80));
    QCOMPARE(Read(paths.at(1)).size(), QSize(80, 40));
    QCOMPARE(Read(paths.at(2)).size(), QSize(40, 80));
    const QImage shown = ws.LargeLabel()->pixmap(Qt::ReturnByValue).toImage();
    QCOMPARE(shown.size(), QSize(40, 80));
    QVERIFY(PageFiles::Near(shown.pixelColor(20, 60), QColor(220, 20, 20), 40));
    QCOMPARE(ws.view->GetZoomMode(), ImageViewWidget::ZoomFit);
}

void TestImageViewRotate::failedRotationKeepsPage_data()
{
    QTest::addColumn<QString>("name");
    // The writer knows no BMP page files; a mislabelled file cannot be decoded.
    QTest::newRow("unknown page format") << "page.bmp";
    QTest::newRow("undecodable jpeg") << "page.jpg";
}

void TestImageViewRotate::failedRotationKeepsPage()
{
    QFETCH(QString, name);

    QString path;
    if (name.endsWith(QLatin1String(".bmp"))) {
        path = SplitPage(name);
    } else {
        path = m_dir->filePath(name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(64, 'x'));
    }
    QVERIFY(!path.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    Workspace ws;
    ws.view->AddImage(path);
    ws.view->SetSelection(0);
    const QPixmap shown = ws.LargeLabel()->pixmap(Qt::ReturnByValue);
    const qint64 thumb = Thumbnail(ws, 0).cacheKey();

    ws.view->RotateRight();

    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QCOMPARE(Thumbnail(ws, 0).cacheKey(), thumb);
    QCOMPARE(ws.LargeLabel()->pixmap(Qt::ReturnByValue).cacheKey(), shown.cacheKey());
}

QTEST_MAIN(TestImageViewRotate)
#include "tst_imageviewrotate.moc"
