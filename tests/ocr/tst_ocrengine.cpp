// The recognition engine and the stored text: missing language data, pages
// that do not decode, turned pages, cancelling, one thread per engine, and
// stored texts that are damaged or stale.
#include "ocrengine.h"
#include "ocrpage.h"
#include "pagemaker.h"
#include "pageturn.h"
#include "textstore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <atomic>
#include <thread>

Q_DECLARE_METATYPE(OcrLanguage)

namespace {

const QString kDataFolder = QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");

OcrPage::Page ShortPage(int lines = 2)
{
    OcrPage::Sheet sheet;
    const QStringList text{QStringLiteral("档案管理 Archive 2024"),
                           QStringLiteral("办公室文件 Office files")};
    for (int i = 0; i < lines; ++i) {
        sheet.lines.append(text.at(i % text.size()));
    }
    return OcrPage::Render(sheet);
}

int ThreadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

// Sets TESSDATA_PREFIX while it lives.
class DataFolder {
public:
    explicit DataFolder(const QString& folder) { qputenv("TESSDATA_PREFIX", QFile::encodeName(folder)); }
    ~DataFolder() { qunsetenv("TESSDATA_PREFIX"); }
};

} // namespace

class TestOcrEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void missingData_data();
    void missingData();
    void unreadablePages_data();
    void unreadablePages();
    void pageFormats_data();
    void pageFormats();
    void cancelWhileRecognising();
    void oneThreadPerEngine();
    void storedText_data();
    void storedText();

private:
    QTemporaryDir m_dir;
    OcrEngine m_engine; // simplified Chinese, shared by the tests that recognise
};

void TestOcrEngine::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QCOMPARE(m_engine.Load(OcrLanguage::SimplifiedChinese), QString());
}

void TestOcrEngine::missingData_data()
{
    QTest::addColumn<OcrLanguage>("language");
    QTest::addColumn<QStringList>("installed"); // data sets in the folder; "!": cut short
    QTest::addColumn<QString>("message");
    QTest::newRow("simplified missing") << OcrLanguage::SimplifiedChinese << QStringList{"eng", "chi_tra"}
                                        << "未安装文字识别数据：tesseract-ocr-chi-sim";
    QTest::newRow("traditional missing") << OcrLanguage::TraditionalChinese << QStringList{"eng", "chi_sim"}
                                         << "未安装文字识别数据：tesseract-ocr-chi-tra";
    QTest::newRow("english missing") << OcrLanguage::English << QStringList{"chi_sim", "chi_tra"}
                                     << "未安装文字识别数据：tesseract-ocr-eng";
    QTest::newRow("english missing for chinese") << OcrLanguage::TraditionalChinese << QStringList{"chi_tra"}
                                                 << "未安装文字识别数据：tesseract-ocr-eng";
    QTest::newRow("empty folder") << OcrLanguage::SimplifiedChinese << QStringList{}
                                  << "未安装文字识别数据：tesseract-ocr-chi-sim tesseract-ocr-eng";
    QTest::newRow("damaged chinese data") << OcrLanguage::SimplifiedChinese << QStringList{"chi_sim!", "eng"}
                                          << "文字识别数据无法加载：tesseract-ocr-chi-sim";
    QTest::newRow("damaged english data")
        << OcrLanguage::English << QStringList{"eng!"} << "文字识别数据无法加载：tesseract-ocr-eng";
    QTest::newRow("all there") << OcrLanguage::English << QStringList{"eng"} << QString();
}

void TestOcrEngine::missingData()
{
    QFETCH(OcrLanguage, language);
    QFETCH(QStringList, installed);
    QFETCH(QString, message);
    QTemporaryDir data;
    for (QString set : installed) {
        const QString source = kDataFolder + "/" + set.remove('!') + ".traineddata";
        const QString target = data.filePath(set + ".traineddata");
        if (installed.contains(set + "!")) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(PageMaker::bytes(source).left(100000));
        } else {
            QVERIFY(QFile::link(source, target));
        }
    }
    const DataFolder folder(data.path());
    OcrEngine engine;
    QCOMPARE(engine.Load(language), message);
    QCOMPARE(engine.IsReady(), message.isEmpty());
    // The interface in English says it in English, naming the same packages.
    if (!message.isEmpty()) {
        QTranslator english;
        QVERIFY(english.load(QStringLiteral(":/trans/en_US.qm")));
        QCoreApplication::installTranslator(&english);
        const QString translated = OcrEngine().Load(language);
        QCoreApplication::removeTranslator(&english);
        const bool chinese = std::any_of(translated.begin(), translated.end(), [](QChar c) {
            return c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF;
        });
        QVERIFY2(!chinese && translated.endsWith(QStringLiteral(": ") + message.section(QChar(0xFF1A), 1)),
                 qPrintable(translated));
    }
    const QString page = m_dir.filePath("missingdata.png");
    QVERIFY(ShortPage().image.save(page));
    const OcrResult result = engine.Recognise(page, 0);
    QCOMPARE(int(result.status), int(message.isEmpty() ? OcrResult::Done : OcrResult::NotReady));
    if (message.isEmpty()) {
        QVERIFY(result.text.PlainText().contains("Archive"));
    }
}

void TestOcrEngine::unreadablePages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty with "missing": no file
    const QByteArray jpeg = [] {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        ShortPage().image.save(&buffer, "JPEG");
        return data;
    }();
    QTest::newRow("missing") << "missing.jpg" << QByteArray();
    QTest::newRow("empty") << "empty.jpg" << QByteArray("");
    QTest::newRow("not an image") << "garbage.jpg" << QByteArray(4096, 'x');
    QTest::newRow("jpeg header only") << "header.jpg" << jpeg.left(200);
    QTest::newRow("tiff header only") << "header.tiff" << QByteArray("II*\0\x08\0\0\0", 8);
    QTest::newRow("pnm without pixels") << "short.pnm" << QByteArray("P5\n#dpi:300\n800 600\n255\n");
}

void TestOcrEngine::unreadablePages()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString path = m_dir.filePath(name);
    if (name != "missing.jpg") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
    }
    const OcrResult bad = m_engine.Recognise(path, 0);
    QCOMPARE(int(bad.status), int(OcrResult::Unreadable));
    QVERIFY(bad.text.IsEmpty());
    QVERIFY(bad.message.contains(path));
}

void TestOcrEngine::pageFormats_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("angle");
    QTest::newRow("colour jpeg, turned 90") << "jpg" << int(QImage::Format_RGB32) << 90;
    QTest::newRow("black-and-white tiff") << "tiff" << int(QImage::Format_Mono) << 0;
    QTest::newRow("16-bit grey tiff, upside down") << "tiff" << int(QImage::Format_Grayscale16) << 180;
    QTest::newRow("16-bit colour png, turned 270") << "png" << int(QImage::Format_RGBA64) << 270;
    QTest::newRow("grey pnm") << "pnm" << int(QImage::Format_Grayscale8) << 0;
    QTest::newRow("colour pnm, turned -90") << "pnm" << int(QImage::Format_RGB888) << -90;
}

// Every kind of page file the scanner writes is read and recognised. The
// file holds the page as scanned; the user turned it by `angle` to read it.
// The text is recognised upright and its boxes land on the ink in the file.
void TestOcrEngine::pageFormats()
{
    QFETCH(QString, suffix);
    QFETCH(int, format);
    QFETCH(int, angle);
    const OcrPage::Page upright = ShortPage();
    const QImage image = format == QImage::Format_Mono
                             ? upright.image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)
                             : upright.image.convertToFormat(QImage::Format(format));
    const QImage scanned = TurnImage(image, -angle);
    const QString path = m_dir.filePath(QString("format%1-%2.%3").arg(format).arg(angle).arg(suffix));
    QVERIFY(PageMaker::write(scanned, path, 300));
    const OcrResult result = m_engine.Recognise(path, angle);
    QCOMPARE(int(result.status), int(OcrResult::Done));
    QCOMPARE(result.text.pageSize, scanned.size());
    // Words in reading order, no space inside a Chinese phrase.
    QCOMPARE(result.text.PlainText().simplified(), QString("档案管理Archive 2024 办公室文件Office files"));
    QVERIFY(OcrPage::MatchedWords(TurnPageText(upright.truth, -angle), result.text, 0.5) >= 0.95);
    // And the text turns back upright with the page as the user sees it.
    QVERIFY(OcrPage::MatchedWords(upright.truth, TurnPageText(result.text, angle), 0.5) >= 0.95);
}

void TestOcrEngine::cancelWhileRecognising()
{
    const QString path = m_dir.filePath("long.png");
    QVERIFY(ShortPage(120).image.save(path));
    std::atomic<bool> cancel{false};
    OcrResult result;
    std::thread worker([&] { result = m_engine.Recognise(path, 0, &cancel); });
    QTest::qWait(300);
    cancel = true;
    worker.join();
    QCOMPARE(int(result.status), int(OcrResult::Cancelled));
    QVERIFY(result.text.IsEmpty());
    // Stopped within the page, not after it.
    QVERIFY2(result.progress < 100, qPrintable(QString::number(result.progress)));
    // The engine is not left half-way: the next page is recognised whole.
    const OcrPage::Page page = ShortPage();
    const QString next = m_dir.filePath("afterCancel.png");
    QVERIFY(page.image.save(next));
    const OcrResult after = m_engine.Recognise(next, 0);
    QCOMPARE(int(after.status), int(OcrResult::Done));
    QCOMPARE(after.progress, 100);
    QCOMPARE(OcrPage::Comparable(after.text.PlainText()), OcrPage::Comparable(page.truth.PlainText()));
}

// Two engines on two threads must keep to two cores: Tesseract's own
// parallel loops start no threads of their own.
void TestOcrEngine::oneThreadPerEngine()
{
    const QString path = m_dir.filePath("threads.png");
    QVERIFY(ShortPage(6).image.save(path));
    int before = 0, during = 0;
    std::thread worker([&] {
        OcrEngine engine;
        QCOMPARE(engine.Load(OcrLanguage::English), QString());
        before = ThreadCount();
        QCOMPARE(int(engine.Recognise(path, 0).status), int(OcrResult::Done));
        during = ThreadCount(); // an OpenMP team's threads stay parked
    });
    worker.join();
    QVERIFY(before > 0);
    QCOMPARE(during, before);
}

void TestOcrEngine::storedText_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("trusted");
    QTest::newRow("intact") << "none" << true;
    QTest::newRow("no file") << "remove" << false;
    QTest::newRow("empty") << "empty" << false;
    QTest::newRow("cut in the text") << "cut text" << false;
    QTest::newRow("cut in the stamp line") << "cut stamp" << false;
    QTest::newRow("one byte changed in the stamp") << "stamp byte" << false;
    QTest::newRow("page replaced by a new file") << "replace page" << false;
    QTest::newRow("page written in place") << "rewrite page" << false;
    QTest::newRow("text of another page") << "other page" << false;
    QTest::newRow("page turned since") << "angle" << false;
}

void TestOcrEngine::storedText()
{
    QFETCH(QString, damage);
    QFETCH(bool, trusted);
    QTemporaryDir dir;
    const QString page = dir.filePath("scan0001.jpg");
    const QString other = dir.filePath("scan0002.jpg");
    QVERIFY(PageMaker::write(PageMaker::pattern(300, 200, QImage::Format_RGB32, 200), page));
    QVERIFY(PageMaker::write(PageMaker::pattern(300, 200, QImage::Format_RGB32, 200), other));
    PageText text;
    text.pageSize = QSize(300, 200);
    text.language = "chi_sim+eng";
    text.paragraphs.append(
        TextParagraph{{TextLine{{TextWord{"档", QRect(10, 10, 20, 20), 90}}, QRect(10, 10, 20, 20)}}});
    QVERIFY(TextStore::Write(page, PageStamp::Of(page), 270, text));
    QVERIFY(TextStore::Write(other, PageStamp::Of(other), 270, text));
    const QString stored = TextStore::TextPath(page);
    QCOMPARE(stored, page + ".text");
    const QByteArray bytes = PageMaker::bytes(stored);
    const auto overwrite = [&](const QByteArray& data) {
        QFile file(stored);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(data), qint64(data.size()));
    };
    if (damage == "remove") {
        QVERIFY(TextStore::Remove(page));
    } else if (damage == "empty") {
        overwrite(QByteArray());
    } else if (damage == "cut text") {
        overwrite(bytes.left(bytes.size() - 10));
    } else if (damage == "cut stamp") {
        overwrite(bytes.left(bytes.indexOf('\n') - 2));
    } else if (damage == "stamp byte") {
        QByteArray changed = bytes;
        changed[changed.indexOf('\n') - 1] = changed[changed.indexOf('\n') - 1] == '1' ? '2' : '1';
        overwrite(changed);
    } else if (damage == "replace page") {
        const QString fresh = dir.filePath("fresh.jpg");
        QVERIFY(QFile::copy(page, fresh));
        QVERIFY(std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(page).constData()) == 0);
    } else if (damage == "rewrite page") {
        QFile file(page);
        QVERIFY(file.open(QIODevice::Append));
        QCOMPARE(file.write("\0", 1), qint64(1));
    } else if (damage == "other page") {
        QVERIFY(QFile::remove(stored));
        QVERIFY(QFile::copy(TextStore::TextPath(other), stored));
    }
    PageText read;
    QCOMPARE(TextStore::Read(page, damage == "angle" ? 90 : -90, &read), trusted);
    QCOMPARE(read.PlainText(), trusted ? text.PlainText() : QString());
    QCOMPARE(read.WordCount(), trusted ? 1 : 0);
}

QTEST_MAIN(TestOcrEngine)
#include "tst_ocrengine.moc"
