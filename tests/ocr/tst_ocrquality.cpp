// How well pages are recognised: pages of known text drawn in the test, the
// text and word boxes we recognise compared with the truth and with the
// `tesseract` command's own text of the same file.
#include "ocrengine.h"
#include "ocrpage.h"

#include <QFontInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <memory>

using OcrPage::Ink;

Q_DECLARE_METATYPE(OcrPage::Ink)
Q_DECLARE_METATYPE(OcrLanguage)

namespace {

const QStringList kSimplified{QStringLiteral("档案管理与办公室文件"),
                              QStringLiteral("本单位年度工作总结报告"),
                              QStringLiteral("请各部门按时提交材料")};
const QStringList kTraditional{QStringLiteral("檔案管理與辦公室文件"),
                               QStringLiteral("本單位年度工作總結報告"),
                               QStringLiteral("請各部門按時提交資料")};
const QStringList kEnglish{QStringLiteral("Annual report of the archive office"),
                           QStringLiteral("Please return the signed forms by Friday"),
                           QStringLiteral("Scanning quality and text recognition")};
const QStringList kMixed{QStringLiteral("扫描仪型号 Scanner 8000 已连接"),
                         QStringLiteral("办公室文件 Office files")};

} // namespace

class TestOcrQuality : public QObject {
    Q_OBJECT
private slots:
    void recognition_data();
    void recognition();

private:
    OcrEngine* EngineFor(OcrLanguage language);
    std::map<OcrLanguage, std::unique_ptr<OcrEngine>> m_engines;
    QTemporaryDir m_dir;
    int m_pages = 0;
};

OcrEngine* TestOcrQuality::EngineFor(OcrLanguage language)
{
    auto& engine = m_engines[language];
    if (!engine) {
        engine.reset(new OcrEngine);
        const QString message = engine->Load(language);
        if (!message.isEmpty()) {
            qWarning() << message;
            engine.reset();
            return nullptr;
        }
    }
    return engine.get();
}

void TestOcrQuality::recognition_data()
{
    QTest::addColumn<OcrLanguage>("language");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<Ink>("ink");
    QTest::addColumn<bool>("noise");
    QTest::addColumn<double>("skew");
    // The largest character error rate: 2 % at 300 dpi, 5 % at 200 dpi;
    // the smallest print in black-and-white at 200 dpi has to be as good as
    // the tesseract command only.
    QTest::addColumn<double>("limit");

    const OcrLanguage sim = OcrLanguage::SimplifiedChinese;
    const OcrLanguage tra = OcrLanguage::TraditionalChinese;
    const OcrLanguage eng = OcrLanguage::English;
    const QString sansSc = "Noto Sans CJK SC", serifSc = "Noto Serif CJK SC";
    const QString sansTc = "Noto Sans CJK TC", serifTc = "Noto Serif CJK TC";
    // clang-format off
    QTest::newRow("简体 sans 12pt 300dpi colour") << sim << kSimplified << sansSc << 12 << 300 << Ink::Colour << false << 0.0 << 0.02;
    QTest::newRow("简体 serif 10pt 300dpi grey") << sim << kSimplified << serifSc << 10 << 300 << Ink::Grey << false << 0.0 << 0.02;
    QTest::newRow("简体 sans 14pt 300dpi bw noise skew") << sim << kSimplified << sansSc << 14 << 300 << Ink::BlackWhite << true << 1.0 << 0.02;
    QTest::newRow("简体 serif 12pt 200dpi grey noise") << sim << kSimplified << serifSc << 12 << 200 << Ink::Grey << true << 0.0 << 0.05;
    QTest::newRow("简体+English sans 12pt 300dpi grey skew") << sim << kMixed << sansSc << 12 << 300 << Ink::Grey << false << 1.0 << 0.02;
    QTest::newRow("繁體 sans 12pt 300dpi colour noise") << tra << kTraditional << sansTc << 12 << 300 << Ink::Colour << true << 0.0 << 0.02;
    QTest::newRow("繁體 serif 14pt 200dpi bw") << tra << kTraditional << serifTc << 14 << 200 << Ink::BlackWhite << false << 0.0 << 0.05;
    QTest::newRow("简体 serif 10pt 200dpi bw noise skew") << sim << kSimplified << serifSc << 10 << 200 << Ink::BlackWhite << true << 1.0 << 1.0;
    QTest::newRow("English serif 10pt 300dpi grey skew") << eng << kEnglish << serifSc << 10 << 300 << Ink::Grey << false << 1.0 << 0.02;
    QTest::newRow("English sans 12pt 200dpi colour noise") << eng << kEnglish << sansSc << 12 << 200 << Ink::Colour << true << 0.0 << 0.05;
    QTest::newRow("English sans 11pt 300dpi bw noise") << eng << kEnglish << sansSc << 11 << 300 << Ink::BlackWhite << true << 0.0 << 0.02;
    // clang-format on
}

void TestOcrQuality::recognition()
{
    QFETCH(OcrLanguage, language);
    QFETCH(QStringList, lines);
    QFETCH(QString, family);
    QFETCH(int, points);
    QFETCH(int, dpi);
    QFETCH(Ink, ink);
    QFETCH(bool, noise);
    QFETCH(double, skew);
    QFETCH(double, limit);
    QVERIFY2(QFontInfo(QFont(family)).family() == family, qPrintable(family + " is not installed"));

    OcrPage::Sheet sheet;
    sheet.lines = lines;
    sheet.family = family;
    sheet.points = points;
    sheet.dpi = dpi;
    sheet.ink = ink;
    sheet.noise = noise;
    sheet.skew = skew;
    const OcrPage::Page page = OcrPage::Render(sheet);
    // Saved as the scanner would: JPEG for colour and grey, TIFF for
    // black-and-white.
    const QString path =
        m_dir.filePath(QString("page%1.%2").arg(++m_pages).arg(ink == Ink::BlackWhite ? "tiff" : "jpg"));
    QVERIFY(page.image.save(path, nullptr, 92));

    OcrEngine* engine = EngineFor(language);
    QVERIFY(engine != nullptr);
    const OcrResult result = engine->Recognise(path, 0);
    QCOMPARE(int(result.status), int(OcrResult::Done));
    QCOMPARE(result.text.pageSize, page.image.size());

    const QString truth = OcrPage::Comparable(page.truth.PlainText());
    const double ours =
        double(OcrPage::EditDistance(OcrPage::Comparable(result.text.PlainText()), truth)) / truth.size();
    QString error;
    const QString command = OcrPage::CommandText(path, OcrLanguageKey(language), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const double theirs = double(OcrPage::EditDistance(OcrPage::Comparable(command), truth)) / truth.size();
    const double boxes = OcrPage::MatchedWords(page.truth, result.text, 0.5);
    qInfo("%s: character error rate %.2f %% (tesseract command %.2f %%), words with box IoU >= 0.5: %.1f %%",
          QTest::currentDataTag(), ours * 100, theirs * 100, boxes * 100);

    QVERIFY2(ours <= limit, qPrintable(result.text.PlainText()));
    QVERIFY2(ours <= theirs, qPrintable(result.text.PlainText() + " / " + command));
    QVERIFY(boxes >= 0.95);
}

QTEST_MAIN(TestOcrQuality)
#include "tst_ocrquality.moc"
