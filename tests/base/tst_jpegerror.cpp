// libjpeg's messages reach the receivers the writer gave: a warning the
// warning receiver (never the error one, never stderr), a fatal error the
// error receiver before the jump back, with its code kept for the writer.
#include "jpegerror.h"

#include <QStringList>
#include <QtTest>

#include <jerror.h>

#include <cstdlib>

namespace {

QStringList g_errors;
QStringList g_warnings;

void OnError(const char* text)
{
    g_errors << QString::fromLatin1(text);
}

void OnWarning(const char* text)
{
    g_warnings << QString::fromLatin1(text);
}

} // namespace

class TestJpegError : public QObject {
    Q_OBJECT

private slots:
    void receivers_data();
    void receivers();
};

void TestJpegError::receivers_data()
{
    QTest::addColumn<int>("width"); // 0: libjpeg refuses the empty image
    QTest::addColumn<bool>("extraLine");
    QTest::addColumn<int>("errors");
    QTest::addColumn<int>("warnings");
    QTest::addColumn<int>("code");

    QTest::newRow("clean image") << 8 << false << 0 << 0 << 0;
    QTest::newRow("a line too many: a warning") << 8 << true << 0 << 1 << int(JWRN_TOO_MUCH_DATA);
    QTest::newRow("empty image: a fatal error") << 0 << false << 1 << 0 << int(JERR_EMPTY_IMAGE);
}

void TestJpegError::receivers()
{
    QFETCH(int, width);
    QFETCH(bool, extraLine);
    QFETCH(int, errors);
    QFETCH(int, warnings);
    QFETCH(int, code);

    g_errors.clear();
    g_warnings.clear();
    JpegErrorManager manager;
    jpeg_compress_struct cinfo{};
    unsigned char* out = nullptr;
    unsigned long size = 0;
    JSAMPLE row[8] = {};
    bool jumped = false;
    manager.Attach(cinfo, OnError, OnWarning);
    jpeg_create_compress(&cinfo);
    if (setjmp(manager.jump)) {
        jumped = true;
    } else {
        jpeg_mem_dest(&cinfo, &out, &size);
        cinfo.image_width = JDIMENSION(width);
        cinfo.image_height = 2;
        cinfo.input_components = 1;
        cinfo.in_color_space = JCS_GRAYSCALE;
        jpeg_set_defaults(&cinfo);
        jpeg_start_compress(&cinfo, TRUE);
        JSAMPROW rows[1] = {row};
        for (int y = 0; y < (extraLine ? 3 : 2); ++y)
            jpeg_write_scanlines(&cinfo, rows, 1);
        jpeg_finish_compress(&cinfo);
    }
    jpeg_destroy_compress(&cinfo);
    std::free(out);

    QCOMPARE(jumped, errors > 0);
    QCOMPARE(g_errors.size(), errors);
    QCOMPARE(g_warnings.size(), warnings);
    for (const QString& text : g_errors + g_warnings)
        QVERIFY2(!text.isEmpty(), "a message without its text");
    if (code != 0)
        QCOMPARE(manager.LastCode(), code);
}

QTEST_GUILESS_MAIN(TestJpegError)
#include "tst_jpegerror.moc"
