// The simulated scanners driven through libsane: device lists, feeder
// batches, duplex order, errors with their scanner codes, cancel, frame
// kinds and the sheet marker, and repeated sane_init/sane_exit.
#include <QtTest>

#include <atomic>
#include <dlfcn.h>
#include <thread>

#include "sim/sim_marker.h"
#include "simsession.h"

using namespace simtest;

class TestSimScan : public QObject {
    Q_OBJECT

    SANE_Handle m_handle = nullptr;
    bool m_saneUp = false;

    void StartSane()
    {
        QCOMPARE(sane_init(nullptr, nullptr), SANE_STATUS_GOOD);
        m_saneUp = true;
    }

    QStringList DeviceNames()
    {
        const SANE_Device** list = nullptr;
        QStringList names;
        if (sane_get_devices(&list, SANE_TRUE) != SANE_STATUS_GOOD)
            return {"<error>"};
        for (int i = 0; list[i]; ++i)
            names << QString::fromUtf8(list[i]->name);
        return names;
    }

    bool Open(const char* device)
    {
        DeviceNames();
        return sane_open(device, &m_handle) == SANE_STATUS_GOOD;
    }

    // Scans until sane_start stops the batch; returns the page markers, with
    // the status that ended each page when it was not EOF ("2A!6").
    QStringList ScanBatch(int resolution, SANE_Status* last)
    {
        QStringList markers;
        for (int guard = 0; guard < 100; ++guard) {
            Page page = ScanPage(m_handle);
            if (page.startStatus != SANE_STATUS_GOOD) {
                *last = page.startStatus;
                return markers;
            }
            QString m = Marker(page, resolution);
            if (page.endStatus != SANE_STATUS_EOF)
                m += QString("!%1").arg(page.endStatus);
            markers << m;
        }
        *last = SANE_STATUS_INVAL;
        return markers;
    }

    // Whether libsane's dll backend has the module loaded (it opens it under
    // the first folder of LD_LIBRARY_PATH).
    static bool ModuleLoaded(const char* backend)
    {
        QString dir = qEnvironmentVariable("LD_LIBRARY_PATH").section(':', 0, 0);
        QByteArray path = QString("%1/libsane-%2.so.1").arg(dir, backend).toLocal8Bit();
        void* lib = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
        if (lib)
            dlclose(lib);
        return lib != nullptr;
    }

private slots:
    void cleanup()
    {
        if (m_handle)
            sane_close(m_handle);
        m_handle = nullptr;
        if (m_saneUp)
            sane_exit();
        m_saneUp = false;
    }

    void deviceList_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QStringList>("devices");
        QTest::newRow("default") << ""
                                 << QStringList{"zylkx:KX-8000", "zylkx:KX-F600", "zylwy:WY200",
                                                "zyljn:RV920"};
        QTest::newRow("one Wy") << "devices=zylwy:WY200\n" << QStringList{"zylwy:WY200"};
        QTest::newRow("Kx and overhead") << "devices = zylkx:KX-8000, zyljn:RV920 # two\n"
                                         << QStringList{"zylkx:KX-8000", "zyljn:RV920"};
        QTest::newRow("unknown model") << "devices=zylkx:KX-9999,zylwy:WY-200\n" << QStringList{};
        QTest::newRow("none") << "devices=\n" << QStringList{};
    }

    // The list holds exactly the scenario's devices: no system backend leaks in.
    void deviceList()
    {
        QFETCH(QString, scenario);
        QFETCH(QStringList, devices);
        QVERIFY(WriteScenario(scenario));
        StartSane();
        QCOMPARE(DeviceNames(), devices);
    }

    // Devices come and go with the scenario within one SANE session.
    void deviceListFollowsScenario()
    {
        StartSane();
        QVERIFY(WriteScenario("devices=zylkx:KX-8000\n"));
        QCOMPARE(DeviceNames(), QStringList{"zylkx:KX-8000"});
        QVERIFY(WriteScenario("devices=zylwy:WY200,zyljn:RV920\n"));
        QCOMPARE(DeviceNames(), (QStringList{"zylwy:WY200", "zyljn:RV920"}));
    }

    void openOnlyPresentDevices()
    {
        QVERIFY(WriteScenario("devices=zylwy:WY200\n"));
        StartSane();
        SANE_Handle h = nullptr;
        QCOMPARE(sane_open("zylkx:KX-8000", &h), SANE_STATUS_INVAL);
        QVERIFY(Open("zylwy:WY200"));
    }

    void feeder_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("autofeed");
        QTest::addColumn<QStringList>("pages");
        QTest::newRow("front 3") << "zylkx:KX-8000"
                                 << "sheets=3"
                                 << "Adf-front" << true << QStringList{"1A", "2A", "3A"};
        QTest::newRow("back 2") << "zylkx:KX-8000"
                                << "sheets=2"
                                << "Adf-back" << true << QStringList{"1B", "2B"};
        QTest::newRow("duplex 2") << "zylwy:WY200"
                                  << "sheets=2"
                                  << "Adf-duplex" << true << QStringList{"1A", "1B", "2A", "2B"};
        QTest::newRow("empty feeder") << "zylkx:KX-8000"
                                      << "sheets=0"
                                      << "Adf-front" << true << QStringList{};
        QTest::newRow("twelve sheets")
            << "zylwy:WY200"
            << "sheets=12"
            << "Adf-front" << true
            << QStringList{"1A", "2A", "3A", "4A", "5A", "6A", "7A", "8A", "9A", "10A", "11A", "12A"};
        QTest::newRow("source from scenario") << "zylkx:KX-8000"
                                              << "sheets=1\nsource=Adf-duplex"
                                              << "" << true << QStringList{"1A", "1B"};
        QTest::newRow("autofeed off simplex") << "zylkx:KX-8000"
                                              << "sheets=3"
                                              << "Adf-front" << false << QStringList{"1A"};
        QTest::newRow("autofeed off duplex") << "zylwy:WY200"
                                             << "sheets=3"
                                             << "Adf-duplex" << false << QStringList{"1A", "1B"};
        QTest::newRow("flatbed one page") << "zylkx:KX-8000"
                                          << "sheets=5"
                                          << "Flatbed" << true << QStringList{"1A"};
        QTest::newRow("overhead one page") << "zyljn:RV920"
                                           << "sheets=5"
                                           << "" << true << QStringList{"1A"};
    }

    // A batch yields its pages in feeder order, then SANE_STATUS_NO_DOCS.
    void feeder()
    {
        QFETCH(QString, device);
        QFETCH(QString, scenario);
        QFETCH(QString, source);
        QFETCH(bool, autofeed);
        QFETCH(QStringList, pages);
        QVERIFY(WriteScenario(scenario + "\n"));
        StartSane();
        QVERIFY(Open(device.toUtf8().constData()));
        QCOMPARE(SetWord(m_handle, "resolution", 100), SANE_STATUS_GOOD);
        if (!source.isEmpty())
            QCOMPARE(SetString(m_handle, "source", source), SANE_STATUS_GOOD);
        if (!autofeed)
            QCOMPARE(SetWord(m_handle, "autofeed", SANE_FALSE), SANE_STATUS_GOOD);
        SANE_Status last = SANE_STATUS_GOOD;
        QCOMPARE(ScanBatch(100, &last), pages);
        QCOMPARE(last, SANE_STATUS_NO_DOCS);
    }

    void imagesPerSide_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("split");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("images"); // marker/depth/lines
        QTest::newRow("multi-image colour+BW")
            << "Multi-image-output" << false << "Adf-front"
            << QStringList{"1A/8/585", "1A-2/1/585", "2A/8/585", "2A-2/1/585"};
        QTest::newRow("split") << "Gray" << true << "Adf-front"
                               << QStringList{"1A/8/293", "1A-2/8/292", "2A/8/293", "2A-2/8/292"};
        QTest::newRow("multi-image and split, duplex")
            << "Multi-image-output" << true << "Adf-duplex"
            << QStringList{"1A/8/293",   "1A-2/1/293", "1A-3/8/292", "1A-4/1/292", "1B/8/293",   "1B-2/1/293",
                           "1B-3/8/292", "1B-4/1/292", "2A/8/293",   "2A-2/1/293", "2A-3/8/292", "2A-4/1/292",
                           "2B/8/293",   "2B-2/1/293", "2B-3/8/292", "2B-4/1/292"};
    }

    // Multi-image output and top/bottom splitting give several images per
    // side, each with its own start, marked "1A", "1A-2", ...
    void imagesPerSide()
    {
        QFETCH(QString, mode);
        QFETCH(bool, split);
        QFETCH(QString, source);
        QFETCH(QStringList, images);
        QVERIFY(WriteScenario("sheets=2\n"));
        StartSane();
        QVERIFY(Open("zylkx:KX-8000"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        QCOMPARE(SetString(m_handle, "mode", mode), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(m_handle, "split-image", split), SANE_STATUS_GOOD);
        QCOMPARE(SetString(m_handle, "source", source), SANE_STATUS_GOOD);
        QStringList got;
        for (Page page = ScanPage(m_handle); page.startStatus == SANE_STATUS_GOOD; page = ScanPage(m_handle))
            got << QString("%1/%2/%3").arg(Marker(page, 50)).arg(page.params.depth).arg(page.params.lines);
        QCOMPARE(got, images);
    }

    void frontBackMerging_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("secondPart");
        QTest::addColumn<QStringList>("markers"); // first part, second part; per sheet
        QTest::newRow("back on top") << "Top" << QSize(413, 1170) << QPoint(0, 585)
                                     << QStringList{"1B+1A", "2B+2A"};
        QTest::newRow("back below") << "Bottom" << QSize(413, 1170) << QPoint(0, 585)
                                    << QStringList{"1A+1B", "2A+2B"};
        QTest::newRow("back left") << "Left" << QSize(826, 585) << QPoint(413, 0)
                                   << QStringList{"1B+1A", "2B+2A"};
        QTest::newRow("back right") << "Right" << QSize(826, 585) << QPoint(413, 0)
                                    << QStringList{"1A+1B", "2A+2B"};
    }

    // With front/back merging a duplex sheet gives one image holding both
    // sides (A4 at 50 dpi: 413 x 585 per side).
    void frontBackMerging()
    {
        QFETCH(QString, location);
        QFETCH(QSize, size);
        QFETCH(QPoint, secondPart);
        QFETCH(QStringList, markers);
        QVERIFY(WriteScenario("sheets=2\nsource=Adf-duplex\n"));
        StartSane();
        QVERIFY(Open("zylwy:WY200"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        QCOMPARE(SetString(m_handle, "mode", "Lineart"), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(m_handle, "front-back-merging", SANE_TRUE), SANE_STATUS_GOOD);
        QCOMPARE(SetString(m_handle, "back-side-location", location), SANE_STATUS_GOOD);
        QStringList got;
        for (Page page = ScanPage(m_handle); page.startStatus == SANE_STATUS_GOOD;
             page = ScanPage(m_handle)) {
            QImage g = ToGray(page);
            QCOMPARE(g.size(), size);
            QImage second = g.copy(QRect(secondPart, g.size() - QSize(secondPart.x(), secondPart.y())));
            char first[16], other[16];
            sim_marker_decode(g.constBits(), g.width(), g.height(), g.bytesPerLine(), 50, first, 16);
            sim_marker_decode(second.constBits(), second.width(), second.height(), second.bytesPerLine(), 50,
                              other, 16);
            got << QString("%1+%2").arg(first, other);
        }
        QCOMPARE(got, markers);
    }

    void blankSheets_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<bool>("skip");
        QTest::addColumn<QStringList>("pages");
        QTest::newRow("blank kept") << "sheets=3\nblank=2" << false << QStringList{"1A", "", "3A"};
        QTest::newRow("blank skipped") << "sheets=3\nblank=2" << true << QStringList{"1A", "3A"};
        QTest::newRow("duplex sides skipped")
            << "sheets=3\nblank=1B,3\nsource=Adf-duplex" << true << QStringList{"1A", "2A", "2B"};
        QTest::newRow("all skipped") << "sheets=2\nblank=1,2" << true << QStringList{};
    }

    // Blank sheets come out white, or not at all with blank-page skipping.
    void blankSheets()
    {
        QFETCH(QString, scenario);
        QFETCH(bool, skip);
        QFETCH(QStringList, pages);
        QVERIFY(WriteScenario(scenario + "\n"));
        StartSane();
        QVERIFY(Open("zylwy:WY200"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(m_handle, "blank-page-skip", skip), SANE_STATUS_GOOD);
        SANE_Status last;
        QCOMPARE(ScanBatch(50, &last), pages);
        QCOMPARE(last, SANE_STATUS_NO_DOCS);
    }

    // A device that leaves the scenario while open fails its next start.
    void unpluggedWhileOpen()
    {
        QVERIFY(WriteScenario("sheets=2\n"));
        StartSane();
        QVERIFY(Open("zylkx:KX-8000"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        QCOMPARE(ScanPage(m_handle).endStatus, SANE_STATUS_EOF);
        QVERIFY(WriteScenario("sheets=2\ndevices=zylwy:WY200\n"));
        QCOMPARE(sane_start(m_handle), SANE_STATUS_IO_ERROR);
    }

    // With autofeed off each batch takes one sheet; sane_cancel ends a batch.
    void batchesWithoutAutofeed()
    {
        QVERIFY(WriteScenario("sheets=2\n"));
        StartSane();
        QVERIFY(Open("zylkx:KX-8000"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(m_handle, "prepick", SANE_FALSE), SANE_STATUS_GOOD);
        QStringList all;
        for (int batch = 0; batch < 3; ++batch) {
            SANE_Status last;
            all << ScanBatch(50, &last).join(',');
            QCOMPARE(last, SANE_STATUS_NO_DOCS);
            sane_cancel(m_handle);
        }
        QCOMPARE(all, (QStringList{"1A", "2A", ""}));
    }

    // The feeder is loaded again when the scenario's sheet count or load token
    // changes, or when the device is opened again.
    void feederReload()
    {
        QVERIFY(WriteScenario("sheets=1\n"));
        StartSane();
        QVERIFY(Open("zylwy:WY200"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        SANE_Status last;
        QCOMPARE(ScanBatch(50, &last), QStringList{"1A"});
        QCOMPARE(ScanBatch(50, &last), QStringList{});
        QVERIFY(WriteScenario("sheets=1\nload=second\n"));
        QCOMPARE(ScanBatch(50, &last), QStringList{"1A"});
        sane_close(m_handle);
        m_handle = nullptr;
        QVERIFY(Open("zylwy:WY200"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        QCOMPARE(ScanBatch(50, &last), QStringList{"1A"});
    }

    void errors_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("code");
        const int jammed = SANE_STATUS_JAMMED;
        QTest::newRow("jam mid-page") << "sheets=3\nerror=jam\nerror-sheet=2"
                                      << "Adf-front" << QStringList{"1A", QString("2A!%1").arg(jammed), "3A"}
                                      << int(SANE_STATUS_NO_DOCS) << "0x03800753";
        QTest::newRow("multifeed at start, duplex back")
            << "sheets=3\nerror=multifeed\nerror-sheet=2\nerror-side=B\nerror-at=start"
            << "Adf-duplex" << QStringList{"1A", "1B", "2A"} << jammed << "0x03800755";
        QTest::newRow("own code") << "sheets=2\nerror=multifeed\nerror-code=0x03800756\nerror-at=start"
                                  << "Adf-front" << QStringList{} << jammed << "0x03800756";
        QTest::newRow("cover open") << "sheets=2\nerror=cover-open\nerror-at=start"
                                    << "Adf-front" << QStringList{} << int(SANE_STATUS_COVER_OPEN)
                                    << "0x03800760";
        QTest::newRow("io error mid-page")
            << "sheets=2\nerror=io-error\nerror-sheet=2"
            << "Adf-front" << QStringList{"1A", QString("2A!%1").arg(SANE_STATUS_IO_ERROR)}
            << int(SANE_STATUS_NO_DOCS) << "0x03800770";
        QTest::newRow("flatbed no memory")
            << "error=no-mem"
            << "Flatbed" << QStringList{QString("1A!%1").arg(SANE_STATUS_NO_MEM)} << int(SANE_STATUS_NO_DOCS)
            << "0x03800780";
        QTest::newRow("no error") << "sheets=1"
                                  << "Adf-front" << QStringList{"1A"} << int(SANE_STATUS_NO_DOCS)
                                  << "0x00000000";
    }

    // Errors end the page (or refuse the start) with their status, and the
    // scanner's own code is readable through "get-sc-error" afterwards.
    void errors()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, source);
        QFETCH(QStringList, pages);
        QFETCH(int, last);
        QFETCH(QString, code);
        QVERIFY(WriteScenario(scenario + "\n"));
        StartSane();
        QVERIFY(Open("zylkx:KX-8000"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        QCOMPARE(SetString(m_handle, "source", source), SANE_STATUS_GOOD);
        SANE_Status end = SANE_STATUS_GOOD;
        QStringList got;
        // a scan loop stops at the first page that did not end with EOF
        for (int guard = 0; guard < 20; ++guard) {
            Page page = ScanPage(m_handle);
            if (page.startStatus != SANE_STATUS_GOOD) {
                end = page.startStatus;
                break;
            }
            QString m = Marker(page, 50);
            if (page.endStatus != SANE_STATUS_EOF)
                m += QString("!%1").arg(page.endStatus);
            got << m;
        }
        QCOMPARE(got, pages);
        QCOMPARE(int(end), last);
        sane_cancel(m_handle);
        QCOMPARE(GetString(m_handle, "get-sc-error"), code);
    }

    // A new batch clears the previous error code.
    void errorCodeClearedByNextBatch()
    {
        QVERIFY(WriteScenario("sheets=3\nerror=jam\nerror-at=start\n"));
        StartSane();
        QVERIFY(Open("zylkx:KX-8000"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        QCOMPARE(sane_start(m_handle), SANE_STATUS_JAMMED);
        sane_cancel(m_handle);
        QCOMPARE(GetString(m_handle, "get-sc-error"), QString("0x03800753"));
        Page page = ScanPage(m_handle);
        QCOMPARE(page.endStatus, SANE_STATUS_EOF);
        QCOMPARE(Marker(page, 50), QString("2A"));
        QCOMPARE(GetString(m_handle, "get-sc-error"), QString("0x00000000"));
    }

    // sane_cancel from another thread ends the running read at once with
    // SANE_STATUS_CANCELLED; the next batch starts with the next sheet.
    void cancelMidPage()
    {
        QVERIFY(WriteScenario("sheets=3\npage-delay-ms=60000\nchunk-lines=8\n"));
        StartSane();
        QVERIFY(Open("zylkx:KX-8000"));
        QCOMPARE(SetWord(m_handle, "resolution", 100), SANE_STATUS_GOOD);
        QCOMPARE(sane_start(m_handle), SANE_STATUS_GOOD);
        SANE_Parameters p;
        QCOMPARE(sane_get_parameters(m_handle, &p), SANE_STATUS_GOOD);
        std::atomic<qint64> received{0};
        SANE_Handle h = m_handle;
        std::thread canceller([&] {
            while (received.load() == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            sane_cancel(h);
        });
        QElapsedTimer timer;
        timer.start();
        QByteArray buf(65536, '\0');
        SANE_Int len = 0;
        SANE_Status st;
        while ((st = sane_read(m_handle, reinterpret_cast<SANE_Byte*>(buf.data()), buf.size(), &len)) ==
               SANE_STATUS_GOOD)
            received += len;
        canceller.join();
        QCOMPARE(st, SANE_STATUS_CANCELLED);
        QVERIFY(received.load() < qint64(p.bytes_per_line) * p.lines);
        QVERIFY2(timer.elapsed() < 30000, "the read did not stop at the cancel");
        sane_cancel(m_handle);
        QVERIFY(WriteScenario("sheets=3\n"));
        Page next = ScanPage(m_handle);
        QCOMPARE(next.endStatus, SANE_STATUS_EOF);
        QCOMPARE(Marker(next, 100), QString("2A"));
    }

    // After a cancel within a page the device takes options again at once,
    // and the abandoned page reports the cancel.
    void cancelThenSetOptions()
    {
        QVERIFY(WriteScenario("sheets=2\n"));
        StartSane();
        QVERIFY(Open("zylkx:KX-8000"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        QCOMPARE(sane_start(m_handle), SANE_STATUS_GOOD);
        SANE_Byte buf[100];
        SANE_Int len = 0;
        QCOMPARE(sane_read(m_handle, buf, sizeof buf, &len), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(m_handle, "resolution", 60), SANE_STATUS_DEVICE_BUSY);
        sane_cancel(m_handle);
        QCOMPARE(SetWord(m_handle, "resolution", 60), SANE_STATUS_GOOD);
        QCOMPARE(sane_read(m_handle, buf, sizeof buf, &len), SANE_STATUS_CANCELLED);
        QCOMPARE(len, 0);
    }

    void frames_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("settings"); // mode;resolution;paper
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("bytesPerLine");
        const int gray = SANE_FRAME_GRAY, rgb = SANE_FRAME_RGB;
        const QString kx = "zylkx:KX-8000";
        QTest::newRow("A4 300 dpi colour") << kx << ""
                                           << "Color;300;A4" << rgb << 8 << 2480 << 3508 << 7440;
        QTest::newRow("A4 300 dpi lineart") << kx << ""
                                            << "Lineart;300;A4" << gray << 1 << 2480 << 3508 << 310;
        QTest::newRow("gray 8") << kx << ""
                                << "Gray;100;A5" << gray << 8 << 583 << 827 << 583;
        QTest::newRow("gray 16") << kx << "depth=16"
                                 << "Gray;100;A5" << gray << 16 << 583 << 827 << 1166;
        QTest::newRow("colour 16") << kx << "depth=16"
                                   << "Color;100;A6" << rgb << 16 << 413 << 583 << 2478;
        QTest::newRow("auto colour") << "zylwy:WY200"
                                     << ""
                                     << "Auto-color-detect;150;Letter" << rgb << 8 << 1275 << 1650 << 3825;
        QTest::newRow("multi image colour") << kx << ""
                                            << "Multi-image-output;100;A6" << rgb << 8 << 413 << 583 << 1239;
        QTest::newRow("lineart odd width") << kx << ""
                                           << "Lineart;50;Business-card" << gray << 1 << 108 << 179 << 14;
        QTest::newRow("overhead A4 landscape") << "zyljn:RV920"
                                               << ""
                                               << "Gray;100;A4" << gray << 8 << 1169 << 827 << 1169;
    }

    // Frame parameters follow mode, depth, resolution and paper size, and the
    // data is exactly bytes per line x lines.
    void frames()
    {
        QFETCH(QString, device);
        QFETCH(QString, scenario);
        QFETCH(QString, settings);
        QFETCH(int, format);
        QFETCH(int, depth);
        QFETCH(int, width);
        QFETCH(int, lines);
        QFETCH(int, bytesPerLine);
        QVERIFY(WriteScenario("sheets=1\n" + scenario + "\n"));
        StartSane();
        QVERIFY(Open(device.toUtf8().constData()));
        QStringList s = settings.split(';');
        QCOMPARE(SetString(m_handle, "mode", s[0]), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(m_handle, "resolution", s[1].toInt()), SANE_STATUS_GOOD);
        QCOMPARE(SetString(m_handle, "paper-size", s[2]), SANE_STATUS_GOOD);
        Page page = ScanPage(m_handle);
        QCOMPARE(page.endStatus, SANE_STATUS_EOF);
        QCOMPARE(int(page.params.format), format);
        QCOMPARE(page.params.depth, depth);
        QCOMPARE(page.params.pixels_per_line, width);
        QCOMPARE(page.params.lines, lines);
        QCOMPARE(page.params.bytes_per_line, bytesPerLine);
        QVERIFY(page.params.last_frame);
        QCOMPARE(page.data.size(), qsizetype(bytesPerLine) * lines);
        QCOMPARE(Marker(page, s[1].toInt()), QString("1A"));
    }

    void unusualFrames_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("announcedLines");
        QTest::addColumn<int>("sentLines");
        QTest::addColumn<int>("frames");
        QTest::newRow("unknown line count") << "unknown-lines=1" << -1 << 585 << 1;
        QTest::newRow("over-run") << "extra-lines=7" << 585 << 592 << 1;
        QTest::newRow("three-pass colour") << "three-pass=1" << 585 << 585 << 3;
    }

    // Pages whose length is unknown, that send more than announced, or that
    // come as separate red, green and blue frames (A4 at 50 dpi: 413 x 585).
    void unusualFrames()
    {
        QFETCH(QString, scenario);
        QFETCH(int, announcedLines);
        QFETCH(int, sentLines);
        QFETCH(int, frames);
        QVERIFY(WriteScenario("sheets=2\n" + scenario + "\n"));
        StartSane();
        QVERIFY(Open("zylkx:KX-8000"));
        QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
        QList<int> formats;
        Page page;
        for (int i = 0; i < frames; ++i) { // one frame at a time to see every format
            SANE_Status st = sane_start(m_handle);
            QCOMPARE(st, SANE_STATUS_GOOD);
            sane_get_parameters(m_handle, &page.params);
            formats << page.params.format;
            QCOMPARE(bool(page.params.last_frame), i == frames - 1);
            QByteArray buf(100000, '\0');
            SANE_Int len;
            while ((st = sane_read(m_handle, reinterpret_cast<SANE_Byte*>(buf.data()), buf.size(), &len)) ==
                   SANE_STATUS_GOOD)
                page.data.append(buf.constData(), len);
            QCOMPARE(st, SANE_STATUS_EOF);
            ++page.frames;
        }
        QCOMPARE(page.params.lines, announcedLines);
        QCOMPARE(page.data.size(), qsizetype(page.params.bytes_per_line) * sentLines * frames);
        if (frames == 3)
            QCOMPARE(formats, (QList<int>{SANE_FRAME_RED, SANE_FRAME_GREEN, SANE_FRAME_BLUE}));
        QCOMPARE(Marker(page, 50), QString("1A"));
        Page second = ScanPage(m_handle); // the next sane_start is the next sheet
        QCOMPARE(Marker(second, 50), QString("2A"));
    }

    void markerPixels_data()
    {
        QTest::addColumn<int>("resolution");
        QTest::addColumn<int>("cell");
        QTest::addColumn<QString>("mode");
        QTest::newRow("100 dpi colour") << 100 << 12 << "Color";
        QTest::newRow("300 dpi lineart") << 300 << 36 << "Lineart";
        QTest::newRow("50 dpi gray") << 50 << 6 << "Gray";
    }

    // The marker's documented geometry, checked cell by cell: the back of
    // sheet 1 shows "1B" with glyphs of 5 x 7 solid cells, one blank column
    // between them, starting four cells from the top-left corner.
    void markerPixels()
    {
        QFETCH(int, resolution);
        QFETCH(int, cell);
        QFETCH(QString, mode);
        QVERIFY(WriteScenario("sheets=1\nsource=Adf-back\n"));
        StartSane();
        QVERIFY(Open("zylkx:KX-8000"));
        QCOMPARE(SetWord(m_handle, "resolution", resolution), SANE_STATUS_GOOD);
        QCOMPARE(SetString(m_handle, "mode", mode), SANE_STATUS_GOOD);
        QImage g = ToGray(ScanPage(m_handle));
        QVERIFY(!g.isNull());
        const QStringList expected{"..#.. ####.", ".##.. #...#", "..#.. #...#", "..#.. ####.",
                                   "..#.. #...#", "..#.. #...#", ".###. ####."};
        QStringList art;
        for (int row = 0; row < 7; ++row) {
            QString line;
            for (int col = 0; col < 11; ++col) {
                int x0 = (4 + col) * cell, y0 = (4 + row) * cell;
                auto ink = [&](int dx, int dy) { return qGray(g.pixel(x0 + dx, y0 + dy)) < 128; };
                bool centre = ink(cell / 2, cell / 2);
                QCOMPARE(ink(0, 0), centre); // a cell is ink or paper as a whole
                QCOMPARE(ink(cell - 1, cell - 1), centre);
                line += col == 5 ? (centre ? '?' : ' ') : (centre ? '#' : '.');
            }
            art << line;
        }
        QCOMPARE(art, expected);
    }

    // Reads in small pieces split rows; the page still decodes.
    void smallReads()
    {
        QVERIFY(WriteScenario("sheets=1\n"));
        StartSane();
        QVERIFY(Open("zylkx:KX-8000"));
        QCOMPARE(SetWord(m_handle, "resolution", 75), SANE_STATUS_GOOD);
        Page page = ScanPage(m_handle, 1000);
        QCOMPARE(page.endStatus, SANE_STATUS_EOF);
        QCOMPARE(page.data.size(), qsizetype(page.params.bytes_per_line) * page.params.lines);
        QCOMPARE(Marker(page, 75), QString("1A"));
    }

    // 25 rounds of sane_init ... sane_exit with a different scenario each
    // time: the list, the pages and the state follow the scenario, and
    // sane_exit unloads the modules.
    void initExitCycles()
    {
        const QStringList devices{"zylkx:KX-8000", "zylwy:WY200"};
        for (int round = 0; round < 25; ++round) {
            QStringList present = round % 2 ? devices : QStringList{devices[round % 4 == 0 ? 0 : 1]};
            int sheets = round % 4;
            QVERIFY(WriteScenario(
                QString("devices=%1\nsheets=%2\nsource=Adf-duplex\n").arg(present.join(',')).arg(sheets)));
            StartSane();
            QCOMPARE(DeviceNames(), present);
            QVERIFY(Open(present.last().toUtf8().constData()));
            QCOMPARE(SetWord(m_handle, "resolution", 50), SANE_STATUS_GOOD);
            SANE_Status last;
            QCOMPARE(ScanBatch(50, &last).size(), 2 * sheets);
            QCOMPARE(last, SANE_STATUS_NO_DOCS);
            sane_close(m_handle);
            m_handle = nullptr;
            QVERIFY(ModuleLoaded("zylkx") && ModuleLoaded("zylwy"));
            sane_exit();
            m_saneUp = false;
            QVERIFY(!ModuleLoaded("zylkx"));
            QVERIFY(!ModuleLoaded("zylwy"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSimScan)
#include "tst_simscan.moc"
