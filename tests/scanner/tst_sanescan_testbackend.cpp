// SaneScan against libsane's own "test" backend, which brings option types
// of every kind, hand-scanner pages of unknown length, three-pass colour,
// 16-bit data and injected read statuses. scanimage on the same device and
// settings is the peer for pixel equality.
#include "sanescan.h"
#include "testtools.h"

#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Settings = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(Settings)

namespace {

const QString kDevice = QStringLiteral("test:0");

// Small pages keep the scans fast.
const Settings kBase = {{"resolution", "50"}, {"br-x", "30"}, {"br-y", "25"}};

QStringList scanimageArgs(const Settings& settings)
{
    QStringList args{"-d", kDevice, "--format=pnm"};
    for (const auto& s : settings) {
        if (s.first == "br-x")
            args << "-x" << s.second;
        else if (s.first == "br-y")
            args << "-y" << s.second;
        else
            args << QStringLiteral("--%1=%2").arg(s.first, s.second);
    }
    return args;
}

QByteArray swapped16(QByteArray b)
{
    for (int i = 0; i + 1 < b.size(); i += 2)
        std::swap(b.data()[i], b.data()[i + 1]);
    return b;
}

} // namespace

class TestSaneScanTestBackend : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void deviceListKeepsOnlyTheFamilies();
    void openAndCloseRules();
    void optionRecords_data();
    void optionRecords();
    void unknownOptionDescribesOptionCount();
    void setOption_data();
    void setOption();
    void resolutionFollowsTheOption();
    void pixelsEqualScanimage_data();
    void pixelsEqualScanimage();
    void compressedPagesFromTheLoop_data();
    void compressedPagesFromTheLoop();
    void feederBatchAndNumbering_data();
    void feederBatchAndNumbering();
    void failedPages_data();
    void failedPages();

private:
    void apply(const Settings& settings);
    QString base() const { return m_dir->filePath(QStringLiteral("page")); }
    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files, QDir::Name); }

    SaneScan m_scan;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSaneScanTestBackend::initTestCase()
{
    const QByteArray conf = qgetenv("SANE_CONFIG_DIR");
    QVERIFY2(!conf.isEmpty(), "tests run with a private SANE_CONFIG_DIR");
    QFile dll(QString::fromLocal8Bit(conf) + "/dll.conf");
    QVERIFY(dll.open(QIODevice::Append | QIODevice::Text));
    dll.write("\ntest\n");
    dll.close();
    m_scan.Init();
}

void TestSaneScanTestBackend::cleanupTestCase()
{
    m_scan.CloseDevice();
    m_scan.Exit();
}

void TestSaneScanTestBackend::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    // The test backend keeps option values while it is loaded; a restart of
    // SANE gives every test function the defaults.
    m_scan.Exit();
    m_scan.Init();
    m_scan.ResetScannerList({kDevice, QStringLiteral("test:1")});
    QCOMPARE(m_scan.OpenDevice(kDevice), int(SANE_STATUS_GOOD));
    m_scan.GetAllOptions();
}

void TestSaneScanTestBackend::cleanup()
{
    m_scan.CloseDevice();
}

void TestSaneScanTestBackend::apply(const Settings& settings)
{
    for (const auto& s : settings)
        QVERIFY(m_scan.SetOption(s.first, s.second));
}

void TestSaneScanTestBackend::deviceListKeepsOnlyTheFamilies()
{
    QList<QString> names{QStringLiteral("stale")};
    QCOMPARE(m_scan.GetDeviceList(names), int(SANE_STATUS_GOOD));
    // "test:0" and "test:1" exist in SANE but belong to no family.
    QVERIFY(!names.contains(kDevice));
    for (const QString& n : names)
        QVERIFY2(n.startsWith("zylkx") || n.startsWith("zylwy") || n.startsWith("zyljn"), qPrintable(n));
    // The device list now decides what may be opened.
    m_scan.CloseDevice();
    QCOMPARE(m_scan.OpenDevice(kDevice), int(SANE_STATUS_UNSUPPORTED));
}

void TestSaneScanTestBackend::openAndCloseRules()
{
    QCOMPARE(m_scan.OpenDevice(QStringLiteral("test:7")), int(SANE_STATUS_UNSUPPORTED));
    QCOMPARE(m_scan.OpenDevice(QStringLiteral("TEST:0")), int(SANE_STATUS_UNSUPPORTED));

    // A second open keeps the first device in use ...
    QVERIFY(m_scan.SetOption("mode", "Color"));
    QCOMPARE(m_scan.OpenDevice(QStringLiteral("test:1")), int(SANE_STATUS_GOOD));
    Opt_Result mode;
    m_scan.GetOption("mode", mode);
    QCOMPARE(mode.value, QStringLiteral("Color"));

    // ... and gives the second handle back at once: test:1 can be opened
    // again after closing (the backend refuses a device that is still open).
    m_scan.CloseDevice();
    m_scan.CloseDevice();
    QCOMPARE(m_scan.OpenDevice(QStringLiteral("test:1")), int(SANE_STATUS_GOOD));
    m_scan.CloseDevice();

    // Nothing open: the record stays as passed, setting fails, 200 dpi.
    Opt_Result untouched;
    untouched.value = QStringLiteral("keep");
    m_scan.GetOption("mode", untouched);
    QCOMPARE(untouched.value, QStringLiteral("keep"));
    QCOMPARE(untouched.name, QString());
    QVERIFY(!m_scan.SetOption("mode", "Gray"));
    QCOMPARE(m_scan.get_resolution(), 200);
    QCOMPARE(m_scan.Scan(base(), "pnm", 1, 1, 0), int(SANE_STATUS_INVAL));
}

void TestSaneScanTestBackend::optionRecords_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("constraint");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QStringList>("range");
    QTest::addColumn<QVector<double>>("words");
    QTest::addColumn<int>("strings");
    QTest::addColumn<QString>("value");

    const QStringList noRange{"", "", ""};
    QTest::newRow("string list") << "mode" << 3 << 3 << true << "" << noRange << QVector<double>() << 2
                                 << "Gray";
    QTest::newRow("int range step 2") << "int-constraint-range" << 1 << 1 << true << "pel"
                                      << QStringList{"4", "192", "2"} << QVector<double>() << 0 << "26";
    // The backend's default resolution word is 50, i.e. 50/65536 as a fixed-point value.
    QTest::newRow("fixed range step 1")
        << "resolution" << 2 << 1 << true << "dpi" << QStringList{"1", "1200", "1"} << QVector<double>() << 0
        << "0.000762939";
    QTest::newRow("fixed range %g") << "fixed-constraint-range" << 2 << 1 << true << "us"
                                    << QStringList{"-42.17", "32768", "2"} << QVector<double>() << 0
                                    << "41.83";
    QTest::newRow("int word list") << "int-constraint-word-list" << 1 << 2 << true << "bit" << noRange
                                   << QVector<double>{-42, -8, 0, 17, 42, 256, 65536, 16777216, 1073741824}
                                   << 0 << "42";
    QTest::newRow("fixed word list") << "fixed-constraint-word-list" << 2 << 2 << true << "" << noRange
                                     << QVector<double>{-32.7, 12.1, 42, 129.5} << 0 << "42";
    QTest::newRow("plain int") << "int" << 1 << 0 << true << "" << noRange << QVector<double>() << 0 << "42";
    QTest::newRow("bool") << "bool-soft-select-soft-detect" << 0 << 0 << true << "" << noRange
                          << QVector<double>() << 0 << "0";
    QTest::newRow("button has no value")
        << "button" << 4 << 0 << true << "" << noRange << QVector<double>() << 0 << "";
    QTest::newRow("int array has no value")
        << "int-constraint-array-constraint-range" << 1 << 1 << true << "dpi" << QStringList{"4", "192", "2"}
        << QVector<double>() << 0 << "";
    QTest::newRow("gamma table") << "gamma-table" << 1 << 1 << true << "" << QStringList{"0", "255", "1"}
                                 << QVector<double>() << 0 << "";
    QTest::newRow("inactive keeps constraint")
        << "three-pass-order" << 3 << 3 << false << "" << noRange << QVector<double>() << 6 << "";
    QTest::newRow("geometry mm") << "br-y" << 2 << 1 << true << "mm" << QStringList{"0", "200", "1"}
                                 << QVector<double>() << 0 << "25";
}

void TestSaneScanTestBackend::optionRecords()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, constraint);
    QFETCH(bool, active);
    QFETCH(QString, unit);
    QFETCH(QStringList, range);
    QFETCH(QVector<double>, words);
    QFETCH(int, strings);
    QFETCH(QString, value);

    apply({{"enable-test-options", "yes"}, {"br-y", "25"}});
    const QHash<QString, Opt_Result> all = m_scan.GetAllOptions();
    QVERIFY2(all.contains(name), qPrintable(name));
    // Read-only and hardware-selected options are not offered for setting.
    QVERIFY(!all.contains("bool-soft-detect"));
    QVERIFY(!all.contains("bool-hard-select-soft-detect"));

    Opt_Result single;
    m_scan.GetOption(name, single);
    for (const Opt_Result& r : {all.value(name), single}) {
        QCOMPARE(r.name, name);
        QCOMPARE(r.type, type);
        QCOMPARE(r.constraintType, constraint);
        QCOMPARE(r.isActive, active);
        QVERIFY(r.isSettable);
        QCOMPARE(r.unit, unit);
        QCOMPARE(QStringList({r.range.min, r.range.max, r.range.quant}), range);
        QCOMPARE(r.wordList, words);
        QCOMPARE(r.stringList.size(), strings);
        QCOMPARE(r.value, value);
    }
}

void TestSaneScanTestBackend::unknownOptionDescribesOptionCount()
{
    Opt_Result r;
    m_scan.GetOption(QStringLiteral("no-such-option"), r);
    QCOMPARE(r.name, QString());
    QCOMPARE(r.type, int(SANE_TYPE_INT));
    // The count includes the group entries and the unsettable options.
    QVERIFY(r.value.toInt() > m_scan.GetAllOptions().size());
    QVERIFY(m_scan.SetOption(QStringLiteral("no-such-option"), QStringLiteral("1")));
}

void TestSaneScanTestBackend::setOption_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("int") << "int"
                         << "100"
                         << "100";
    QTest::newRow("fixed") << "fixed"
                           << "10.5"
                           << "10.5";
    QTest::newRow("fixed mm in inches") << "br-x"
                                        << "1in"
                                        << "25";
    QTest::newRow("fixed mm in cm") << "br-x"
                                    << "3cm"
                                    << "30";
    QTest::newRow("bad unit changes nothing") << "br-x"
                                              << "3kg"
                                              << "80";
    QTest::newRow("int with unit") << "int-constraint-range"
                                   << "100pel"
                                   << "100";
    QTest::newRow("word list") << "int-constraint-word-list"
                               << "256"
                               << "256";
    QTest::newRow("bool YES") << "bool-soft-select-soft-detect"
                              << "YES"
                              << "1";
    QTest::newRow("bool y") << "bool-soft-select-soft-detect"
                            << "y"
                            << "1";
    QTest::newRow("bool empty") << "bool-soft-select-soft-detect"
                                << ""
                                << "1";
    QTest::newRow("bool No") << "bool-soft-select-soft-detect"
                             << "No"
                             << "0";
    QTest::newRow("bool other word") << "bool-soft-select-soft-detect"
                                     << "yess"
                                     << "0";
    QTest::newRow("auto on a plain bool") << "bool-soft-select-soft-detect"
                                          << "auto"
                                          << "0";
    QTest::newRow("string list") << "string-constraint-string-list"
                                 << "Second entry"
                                 << "Second entry";
    QTest::newRow("mode") << "mode"
                          << "Color"
                          << "Color";
    QTest::newRow("inactive not set") << "three-pass"
                                      << "yes"
                                      << "";
}

void TestSaneScanTestBackend::setOption()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    apply({{"enable-test-options", "yes"}});
    m_scan.GetAllOptions();
    QVERIFY(m_scan.SetOption(name, value));
    Opt_Result r;
    m_scan.GetOption(name, r);
    QCOMPARE(r.value, expected);
}

void TestSaneScanTestBackend::resolutionFollowsTheOption()
{
    // Fixed-point word 50 is 0.00076 dpi, truncated to 0.
    QCOMPARE(m_scan.get_resolution(), 0);
    QVERIFY(m_scan.SetOption("resolution", "300"));
    QCOMPARE(m_scan.get_resolution(), 300);

    // Long strings are cut to the option's size.
    apply({{"enable-test-options", "yes"}});
    m_scan.GetAllOptions();
    const QString longText(5000, QLatin1Char('x'));
    QVERIFY(m_scan.SetOption("string", longText));
    Opt_Result r;
    m_scan.GetOption("string", r);
    QVERIFY(r.value.size() > 10 && r.value.size() < 5000);
    QVERIFY(longText.startsWith(r.value));
}

void TestSaneScanTestBackend::pixelsEqualScanimage_data()
{
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("magic");

    const Settings gray8{{"mode", "Gray"}, {"depth", "8"}, {"test-picture", "Color pattern"}};
    const Settings gray1{{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Grid"}};
    const Settings gray16{{"mode", "Gray"}, {"depth", "16"}, {"test-picture", "Color pattern"}};
    const Settings rgb8{{"mode", "Color"}, {"depth", "8"}, {"test-picture", "Color pattern"}};
    const Settings rgb16{{"mode", "Color"}, {"depth", "16"}, {"test-picture", "Color pattern"}};
    const Settings threePass = rgb8 + Settings{{"three-pass", "yes"}};
    const Settings threePassGbr = threePass + Settings{{"three-pass-order", "GBR"}};
    const Settings hand = Settings{{"hand-scanner", "yes"}};
    const Settings oddReads{{"read-limit", "yes"}, {"read-limit-size", "33"}};

    for (const QString& fmt : {QStringLiteral("pnm"), QStringLiteral("tiff")}) {
        const bool tiff = fmt == "tiff";
        auto row = [&](const char* name, const Settings& s, const char* pnmMagic) {
            QTest::newRow(qPrintable(fmt + " " + name))
                << s << fmt
                << (tiff ? QByteArray(s.contains({"depth", "16"}) ? "II" : "MM") : QByteArray(pnmMagic));
        };
        row("gray8", gray8, "P5");
        row("lineart", gray1, "P4");
        row("gray16", gray16, "P5");
        row("gray16 odd reads", gray16 + oddReads, "P5");
        row("rgb8", rgb8, "P6");
        row("rgb16", rgb16, "P6");
        row("three-pass", threePass, "P6");
        row("three-pass GBR", threePassGbr, "P6");
        row("hand-scanner gray", gray8 + hand, "P5");
        row("hand-scanner colour", rgb8 + hand, "P6");
        row("hand-scanner lineart", gray1 + hand, "P4");
        row("three-pass hand-scanner", threePass + hand, "P6");
    }
}

void TestSaneScanTestBackend::pixelsEqualScanimage()
{
    QFETCH(Settings, settings);
    QFETCH(QString, format);
    QFETCH(QByteArray, magic);

    const Settings all = kBase + settings;
    apply(all);
    m_scan.GetAllOptions();
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QCOMPARE(m_scan.Scan(base(), format, 1, 1, 1), int(SANE_STATUS_GOOD));
    const QString page = base() + "1." + format;
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), page);
    QCOMPARE(files(), QStringList{QFileInfo(page).fileName()});

    QProcess peer;
    peer.start("scanimage", scanimageArgs(all));
    QVERIFY(peer.waitForFinished(60000));
    int width = 0, height = 0;
    const QByteArray expected = pnmPixels(peer.readAllStandardOutput(), &width, &height);
    QVERIFY2(!expected.isEmpty(), peer.readAllStandardError().constData());

    const QByteArray ours = readAll(page);
    QCOMPARE(ours.left(2), magic);
    if (format == "pnm") {
        QVERIFY(ours.contains("\n#dpi:50\n"));
        QCOMPARE(pnmPixels(ours), expected);
    } else {
        // The strip follows the header; 16-bit samples stay little-endian.
        const bool wide = settings.contains({"depth", "16"});
        QVERIFY(ours.size() > expected.size());
        QCOMPARE(ours.right(expected.size()), wide ? swapped16(expected) : expected);
        const QString info = runTool("tiffinfo", {page}, true);
        QVERIFY2(info.contains(QStringLiteral("Image Width: %1 Image Length: %2").arg(width).arg(height)),
                 qPrintable(info));
        QVERIFY2(!info.contains("rror"), qPrintable(info));
    }
}

void TestSaneScanTestBackend::compressedPagesFromTheLoop_data()
{
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QString>("format");
    const Settings rgb8{{"mode", "Color"}, {"depth", "8"}, {"test-picture", "Color pattern"}};
    QTest::newRow("jpg colour") << rgb8 << "jpg";
    QTest::newRow("png colour") << rgb8 << "png";
    QTest::newRow("jpg lineart") << Settings{{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Grid"}}
                                 << "jpg";
    QTest::newRow("png hand-scanner") << rgb8 + Settings{{"hand-scanner", "yes"}} << "png";
    QTest::newRow("jpeg three-pass") << rgb8 + Settings{{"three-pass", "yes"}} << "jpeg";
    QTest::newRow("png gray16") << Settings{{"mode", "Gray"}, {"depth", "16"}} << "png";
}

void TestSaneScanTestBackend::compressedPagesFromTheLoop()
{
    QFETCH(Settings, settings);
    QFETCH(QString, format);
    const Settings all = kBase + settings;
    apply(all);
    m_scan.GetAllOptions();
    QCOMPARE(m_scan.Scan(base(), format, 3, 2, 1), int(SANE_STATUS_GOOD));
    const QString page = base() + "03." + format;

    QProcess peer;
    peer.start("scanimage", scanimageArgs(all));
    QVERIFY(peer.waitForFinished(60000));
    const QImage expected = QImage::fromData(peer.readAllStandardOutput(), "PPM");
    const QImage image(page);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), expected.size());
    // Lossy or not, the picture must be the same one.
    const QPoint probe(image.width() / 3, image.height() / 2);
    QVERIFY(qAbs(qGray(image.pixel(probe)) - qGray(expected.pixel(probe))) < 40);
    if (format == "png")
        QCOMPARE(image.pixel(probe), expected.pixel(probe));
}

void TestSaneScanTestBackend::feederBatchAndNumbering_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("expected");

    QStringList ten;
    for (int i = 5; i < 15; ++i)
        ten << QStringLiteral("page%1.pnm").arg(i, 3, 10, QLatin1Char('0'));
    QTest::newRow("whole feeder") << 5 << 3 << 0 << "pnm" << ten;
    QTest::newRow("negative limit is no limit") << 5 << 3 << -1 << "pnm" << ten;
    QTest::newRow("limit 1") << 7 << 4 << 1 << "jpg" << QStringList{"page0007.jpg"};
    QTest::newRow("never cut") << 123 << 2 << 2 << "tiff" << QStringList{"page123.tiff", "page124.tiff"};
    QTest::newRow("capital extension") << 1 << 1 << 1 << "TIFF" << QStringList{"page1.TIFF"};
}

void TestSaneScanTestBackend::feederBatchAndNumbering()
{
    QFETCH(int, first);
    QFETCH(int, digits);
    QFETCH(int, limit);
    QFETCH(QString, format);
    QFETCH(QStringList, expected);

    apply(kBase + Settings{{"source", "Automatic Document Feeder"}, {"test-picture", "Grid"}});
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QCOMPARE(m_scan.Scan(base(), format, first, digits, limit), int(SANE_STATUS_GOOD));
    QCOMPARE(files(), expected);
    QCOMPARE(spy.count(), expected.size());
    for (int i = 0; i < spy.count(); ++i)
        QCOMPARE(spy.at(i).at(0).toString(), m_dir->filePath(expected.at(i)));
    if (format == "TIFF")
        QVERIFY(readAll(m_dir->filePath(expected.first())).startsWith("P5"));
}

void TestSaneScanTestBackend::failedPages_data()
{
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QString>("basePath");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<bool>("announced");

    const QString longName = QStringLiteral("/") + QString(4100, QLatin1Char('n'));
    QTest::newRow("jam keeps .part") << Settings{{"read-return-value", "SANE_STATUS_JAMMED"}} << "page"
                                     << int(SANE_STATUS_JAMMED) << QStringList{"page1.tiff.part"} << true;
    QTest::newRow("io error keeps .part")
        << Settings{{"read-return-value", "SANE_STATUS_IO_ERROR"}} << "page" << int(SANE_STATUS_IO_ERROR)
        << QStringList{"page1.tiff.part"} << true;
    QTest::newRow("inval removes .part") << Settings{{"read-return-value", "SANE_STATUS_INVAL"}} << "page"
                                         << int(SANE_STATUS_INVAL) << QStringList() << false;
    QTest::newRow("unsupported frame (rgb 1-bit)") << Settings{{"mode", "Color"}, {"depth", "1"}} << "page"
                                                   << int(SANE_STATUS_INVAL) << QStringList() << false;
    QTest::newRow("unsupported frame (three-pass 16-bit)")
        << Settings{{"mode", "Color"}, {"depth", "16"}, {"three-pass", "yes"}} << "page"
        << int(SANE_STATUS_INVAL) << QStringList() << false;
    QTest::newRow("missing folder") << Settings() << "no/such/folder/page" << int(SANE_STATUS_ACCESS_DENIED)
                                    << QStringList() << false;
    QTest::newRow("path too long") << Settings() << longName << int(SANE_STATUS_ACCESS_DENIED)
                                   << QStringList() << false;
}

void TestSaneScanTestBackend::failedPages()
{
    QFETCH(Settings, settings);
    QFETCH(QString, basePath);
    QFETCH(int, status);
    QFETCH(QStringList, left);
    QFETCH(bool, announced);

    apply(kBase + settings);
    m_scan.GetAllOptions();
    const QString stem = basePath.startsWith('/') ? basePath : m_dir->filePath(basePath);
    QSignalSpy spy(&m_scan, &SaneScan::sglScanOneImageDone);
    QCOMPARE(m_scan.Scan(stem, "tiff", 1, 1, 0), status);
    QCOMPARE(files(), left);
    QCOMPARE(spy.count(), announced ? 1 : 0);
    if (announced)
        QCOMPARE(spy.at(0).at(0).toString(), stem + "1.tiff"); // the final name, though only .part exists
}

QTEST_GUILESS_MAIN(TestSaneScanTestBackend)
#include "tst_sanescan_testbackend.moc"
