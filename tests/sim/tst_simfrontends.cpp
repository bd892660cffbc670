// The simulator seen by other programs: scanimage as an independent SANE
// front end, and the stand-ins for lsusb, dpkg and the consumables tools run
// through a shell with sim/bin first on PATH, the way discovery runs them.
#include <QtTest>

#include "sim/sim_marker.h"
#include "simpage.h"

using SimPage::WriteScenario;

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run Execute(const QString& program, const QStringList& args, const QString& dir = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", QString(SCANVY_SIM_BIN_DIR) + ":" + env.value("PATH"));
    p.setProcessEnvironment(env);
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(30000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Run Shell(const QString& command)
{
    return Execute("sh", {"-c", command});
}

// The pages a scanimage batch wrote into `dir`, in order, as 8-bit grey.
QList<QImage> BatchPages(const QString& dir)
{
    QList<QImage> pages;
    for (int i = 1; QFile::exists(QString("%1/page%2.tiff").arg(dir).arg(i)); ++i)
        pages << QImage(QString("%1/page%2.tiff").arg(dir).arg(i)).convertToFormat(QImage::Format_Grayscale8);
    return pages;
}

// Mean difference of grey values between `page` inside `zone` and `image`
// placed at the zone's corner (the part of the zone the image covers).
double MeanDifference(const QImage& page, const QRect& zone, const QImage& image)
{
    qint64 sum = 0, count = 0;
    for (int y = 0; y < zone.height() && y < image.height(); ++y) {
        const uchar* a = page.constScanLine(zone.top() + y) + zone.left();
        const uchar* b = image.constScanLine(y);
        for (int x = 0; x < zone.width() && x < image.width(); ++x, ++count)
            sum += qAbs(int(a[x]) - int(b[x]));
    }
    return count ? double(sum) / count : 255.0;
}

} // namespace

class TestSimFrontends : public QObject {
    Q_OBJECT

private slots:
    void scanimageBatch_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QStringList>("markers");
        QTest::addColumn<QString>("ending");
        QTest::newRow("duplex") << "sheets=2\nsource=Adf-duplex" << QStringList{"1A", "1B", "2A", "2B"}
                                << "out of documents";
        QTest::newRow("multifeed on sheet 2") << "sheets=3\nerror=multifeed\nerror-sheet=2\nerror-at=start"
                                              << QStringList{"1A"} << "Document feeder jammed";
    }

    // A batch scan by scanimage writes one file per page in feeder order; the
    // files carry the sheet markers.
    void scanimageBatch()
    {
        QFETCH(QString, scenario);
        QFETCH(QStringList, markers);
        QFETCH(QString, ending);
        QVERIFY(WriteScenario(scenario + "\n"));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Run r = Execute("scanimage",
                        {"-d", "zylwy:WY200", "--resolution", "60", "--mode", "Gray", "--format=pnm",
                         "--batch=page%d.pnm"},
                        dir.path());
        QVERIFY2(r.err.contains(ending), qPrintable(r.err));
        QStringList got;
        for (int i = 1; QFile::exists(dir.filePath(QString("page%1.pnm").arg(i))); ++i) {
            QImage img(dir.filePath(QString("page%1.pnm").arg(i)));
            QVERIFY(!img.isNull());
            QCOMPARE(img.size(), QSize(496, 702)); // A4 at 60 dpi
            got << SimPage::Marker(img, 60);
        }
        QCOMPARE(got, markers);
    }

    void textPages_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QStringList>("sides");
        QTest::newRow("gray, duplex, 150 dpi")
            << "sheets=2\nsource=Adf-duplex" << QStringList{"--mode", "Gray"} << 150
            << QStringList{"1A", "1B", "2A", "2B"};
        // The backs take every second page; the fourth back starts again.
        QTest::newRow("lineart, backs, cycling, 200 dpi")
            << "sheets=4\nsource=Adf-back" << QStringList{"--mode", "Lineart"} << 200
            << QStringList{"1B", "2B", "3B", "4B"};
        QTest::newRow("colour 16 bit, 75 dpi")
            << "sheets=1\ndepth=16" << QStringList{"--mode", "Color"} << 75 << QStringList{"1A"};
        QTest::newRow("colour, enlarged, 400 dpi")
            << "sheets=1\nsource=Adf-back" << QStringList{"--mode", "Color", "-x", "120", "-y", "130"} << 400
            << QStringList{"1B"};
    }

    // With "text=on" each side carries its text page below the patches,
    // scaled to the scan's resolution, in every kind of image; the marker,
    // the patches and the rules outside the text stay as they are without.
    void textPages()
    {
        QFETCH(QString, scenario);
        QFETCH(QStringList, options);
        QFETCH(int, dpi);
        QFETCH(QStringList, sides);
        QList<QImage> texts;
        for (int i = 0; i < SimPage::TextPages().size(); ++i) {
            texts << SimPage::TextImage(i).convertToFormat(QImage::Format_Grayscale8);
            QVERIFY(!texts.last().isNull());
        }
        QVERIFY(texts.size() >= 3);
        QList<QImage> plain, printed;
        for (bool on : {false, true}) {
            QVERIFY(WriteScenario(scenario + (on ? "\ntext=on\n" : "\n")));
            QTemporaryDir dir;
            Run r = Execute("scanimage",
                            QStringList{"-d", "zylkx:KX-8000", "--resolution", QString::number(dpi),
                                        "--format=tiff", "--batch=page%d.tiff"} +
                                options,
                            dir.path());
            QVERIFY2(r.err.contains("out of documents"), qPrintable(r.err));
            (on ? printed : plain) = BatchPages(dir.path());
        }
        QCOMPARE(printed.size(), sides.size());
        QCOMPARE(plain.size(), sides.size());
        const int cell = sim_marker_cell(dpi);
        for (int i = 0; i < sides.size(); ++i) {
            const QImage& page = printed.at(i);
            QCOMPARE(SimPage::Marker(page, dpi), sides.at(i));
            const int expected =
                SimPage::TextPageOf(sides.at(i).left(1).toInt(), sides.at(i).at(1).toLatin1());
            // The text zone: the text page scaled, below the patches.
            const QImage scaled =
                texts.at(expected)
                    .scaled(texts.at(expected).width() * dpi / 300, texts.at(expected).height() * dpi / 300,
                            Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_Grayscale8);
            const QRect zone =
                QRect(4 * cell, 17 * cell, scaled.width(), scaled.height()).intersected(page.rect());
            QVERIFY(zone.height() == scaled.height());
            const double own = MeanDifference(page, zone, scaled);
            QVERIFY2(own < 5,
                     qPrintable(QString("%1 differs from its text by %2").arg(sides.at(i)).arg(own)));
            for (int other = 0; other < texts.size(); ++other) {
                if (other == expected || SimPage::TextPages().at(other) == SimPage::TextPages().at(expected))
                    continue;
                const QImage wrong =
                    texts.at(other)
                        .scaled(scaled.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_Grayscale8);
                QVERIFY2(MeanDifference(page, zone, wrong) > own + 2,
                         qPrintable(QString("%1 looks like text page %2").arg(sides.at(i)).arg(other + 1)));
            }
            // Nothing else changed: every row outside the text zone is the
            // page without text.
            QCOMPARE(page.size(), plain.at(i).size());
            for (int y = 0; y < page.height(); ++y) {
                if (y >= zone.top() && y <= zone.bottom())
                    continue;
                QVERIFY2(memcmp(page.constScanLine(y), plain.at(i).constScanLine(y), size_t(page.width())) ==
                             0,
                         qPrintable(QString("%1: row %2 changed").arg(sides.at(i)).arg(y)));
            }
        }
    }

    // "text=<folder>" takes the images of that folder; an image that cannot
    // be read leaves its sides without text (the page as without the key),
    // and the sides go on to the next image.
    void textFolder()
    {
        QTemporaryDir images;
        QFile broken(images.filePath("page1.pgm"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("P5\n2126 533\n255\n\xff\xff"); // cut short
        broken.close();
        QVERIFY(QFile::copy(QString(SCANVY_SIM_TEXT_DIR "/page4.pgm"), images.filePath("page2.pgm")));
        QList<QImage> pages[2];
        for (int on = 0; on < 2; ++on) {
            QVERIFY(WriteScenario("sheets=2\nsource=Adf-duplex\n" +
                                  (on ? "text=" + images.path() : QString("text=off")) + "\n"));
            QTemporaryDir dir;
            Run r = Execute("scanimage",
                            {"-d", "zylkx:KX-8000", "--resolution", "100", "--mode", "Gray", "--format=tiff",
                             "--batch=page%d.tiff"},
                            dir.path());
            QVERIFY2(r.err.contains("out of documents"), qPrintable(r.err));
            pages[on] = BatchPages(dir.path());
            QCOMPARE(pages[on].size(), 4);
        }
        // 1A and 2A: the broken image, no text; 1B and 2B: the copied one.
        QCOMPARE(pages[1].at(0), pages[0].at(0));
        QCOMPARE(pages[1].at(2), pages[0].at(2));
        const QImage text = SimPage::TextImage(3)
                                .scaled(QSize(2126, SimPage::TextImage(3).height()) / 3,
                                        Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_Grayscale8);
        const int cell = sim_marker_cell(100);
        for (int i : {1, 3}) {
            QVERIFY(pages[1].at(i) != pages[0].at(i));
            QVERIFY(MeanDifference(pages[1].at(i), QRect(QPoint(4 * cell, 17 * cell), text.size()), text) <
                    5);
        }
    }

    void standIns_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("output");
        // The plain cases are run by the discovery tests on these stand-ins.
        const QString usb = "lsusb | grep -E '0a3d|0b7e' | cut -d' ' -f6";
        const QString wy = "dpkg -l zylwy |grep 'ii' | awk '/zylwy/ {print $2}{print $3}'";
        const QString wyTool = "zylwyconsumables -L |grep -v 'List of available devices:'";
        QTest::newRow("lsusb all") << "" << usb << "0a3d:4021\n0a3d:4013\n0b7e:1201\n0b7e:2f4c\n";
        QTest::newRow("lsusb override") << "usb=0a3d:1111" << usb << "0a3d:1111\n";
        QTest::newRow("dpkg Wy version") << "packages=zylwy=3.2-1" << wy << "zylwy\n3.2-1\n";
        QTest::newRow("tool lines override") << "wy-tool=WY-200, WY-300" << wyTool << "WY-200\nWY-300\n";
    }

    // The stand-ins print what the scenario says, in the formats of the real
    // tools, so the discovery command lines work on them unchanged.
    void standIns()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, command);
        QFETCH(QString, output);
        QVERIFY(WriteScenario(scenario + "\n"));
        Run r = Shell(command);
        QCOMPARE(r.out, output);
    }

    // An explicit control file (the demo's) takes precedence over the one in
    // SANE_CONFIG_DIR, for the drivers and the tools alike.
    void explicitControlFile()
    {
        QVERIFY(WriteScenario("devices=zylkx:KX-8000\n"));
        QTemporaryDir dir;
        QFile f(dir.filePath("demo.conf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("devices=zylwy:WY200\n");
        f.close();
        qputenv("SCANVY_SIM_CONTROL", f.fileName().toLocal8Bit());
        Run tool = Shell("zylwyconsumables -L | tail -1; lsusb | grep -c 0a3d");
        Run list = Execute("scanimage", {"-L"});
        qunsetenv("SCANVY_SIM_CONTROL");
        QCOMPARE(tool.out, QString("WY-200\n0\n"));
        QCOMPARE(list.out.trimmed(), QString("device `zylwy:WY200' is a Zyl WY-200 sheetfed scanner"));
    }
};

QTEST_GUILESS_MAIN(TestSimFrontends)
#include "tst_simfrontends.moc"
