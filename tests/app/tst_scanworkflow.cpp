#include "imageviewwidget.h"
#include "mainwindow.h"
#include "maskerdialog.h"
#include "optionscontainerwidget.h"
#include "parentscanneroptions.h"
#include "sanescan.h"
#include "simpage.h"
#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

// Scan jobs of the main window on the simulated Kx feeder, through the real
// libsane: placement of the pages, numbering, selection, errors, options.
class TestScanWorkflow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void scanToLast();
    void optionsSent_data();
    void optionsSent();
    void manualPassUncheckedAfterScan();
    void failedScans_data();
    void failedScans();
    void pageFileFormat_data();
    void pageFileFormat();
    void pageLimitPerFamily_data();
    void pageLimitPerFamily();

private:
    bool Scan(const char* action, int jobs = 1);
    QString Marker(const QString& file) const;
    QStringList Numbers() const;
    bool StartWith(const QString& scenario);

    QScopedPointer<WindowFixture> m_fx;
};

void TestScanWorkflow::init()
{
    // This one starts the window itself, on other scanners.
    if (QByteArray(QTest::currentTestFunction()) == "pageLimitPerFamily") {
        return;
    }
    WindowFixture::WriteScenario(QStringLiteral("sheets=3\nsource=Adf-front"));
    m_fx.reset(new WindowFixture);
    QVERIFY(m_fx->Start());
    QVERIFY(m_fx->Panel());
    m_fx->SetResolution(100);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
}

void TestScanWorkflow::cleanup()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

bool TestScanWorkflow::StartWith(const QString& scenario)
{
    WindowFixture::WriteScenario(scenario);
    m_fx.reset(new WindowFixture);
    return m_fx->Start();
}

bool TestScanWorkflow::Scan(const char* action, int jobs)
{
    auto* act = m_fx->Child<QAction>(action);
    if (!act || !act->isEnabled()) {
        qWarning("action %s not usable", action);
        return false;
    }
    act->trigger();
    return m_fx->WaitJobDone(jobs);
}

QString TestScanWorkflow::Marker(const QString& file) const
{
    return SimPage::FileMarker(file, 100);
}

// The numbers of the page files in page order ("0001.jpg" → "1").
QStringList TestScanWorkflow::Numbers() const
{
    QStringList numbers;
    for (const QString& file : m_fx->window->PageFiles()) {
        numbers << QString::number(QFileInfo(file).baseName().toInt());
    }
    return numbers;
}

void TestScanWorkflow::scanToLast()
{
    QStringList overlay;
    connect(m_fx->window.data(), &MainWindow::sglUpdateMaskerMessage, this,
            [&overlay](const QString& text) { overlay << text; });
    QVERIFY(Scan("actionScanToLast"));

    MainWindow* w = m_fx->window;
    const QList<QString> files = w->PageFiles();
    QCOMPARE(files.size(), 3);
    QCOMPARE(Numbers(), QStringList({"1", "2", "3"}));
    QCOMPARE(QFileInfo(files.first()).absolutePath(), m_fx->ScanDir());
    QCOMPARE(QFileInfo(files.first()).fileName(), QStringLiteral("0001.jpg"));
    QStringList markers;
    for (const QString& file : files) {
        QVERIFY2(QFileInfo(file).size() > 0, qPrintable(file));
        markers << Marker(file);
    }
    QCOMPARE(markers, QStringList({"1A", "2A", "3A"}));
    QCOMPARE(w->ScanNumber(), 4);
    QCOMPARE(m_fx->View()->GetPagePaths().toList(), files);
    QCOMPARE(m_fx->View()->GetCurrentIndex(), 2);
    QCOMPARE(m_fx->JumpItems(), QStringList({"1", "2", "3"}));
    QCOMPARE(m_fx->Child<QComboBox>("cmPageJump")->currentIndex(), 2);
    QCOMPARE(m_fx->LabelText("lblImgInfo"), QStringLiteral("当前图像数量：3"));
    QCOMPARE(overlay.last(), QStringLiteral("正在进行扫描...\r\n当前第3张图像"));
    QCOMPARE(overlay.size(), 3);
    QVERIFY(m_fx->Child<QAction>("actionSave")->isEnabled());
    QVERIFY(!m_fx->Child<QListWidget>("lwImgThumbnail")->signalsBlocked());
    QVERIFY(m_fx->answerer.texts.isEmpty());
    auto* masker = w->findChild<MaskerDialog*>();
    QVERIFY(!masker || !masker->isVisible());

    // A second job goes on counting: no file name is used twice.
    WindowFixture::WriteScenario(QStringLiteral("sheets=2\nsource=Adf-front\nload=again"));
    QVERIFY(Scan("actionScanToLast"));
    QCOMPARE(Numbers(), QStringList({"1", "2", "3", "4", "5"}));
    QCOMPARE(w->ScanNumber(), 6);
    QCOMPARE(m_fx->JumpItems().size(), 5);
    QCOMPARE(m_fx->View()->GetCurrentIndex(), 4);
}

void TestScanWorkflow::optionsSent_data()
{
    QTest::addColumn<int>("scanType");
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("manualPass");
    QTest::addColumn<QString>("autofeed");
    QTest::addColumn<QString>("multifeed");

    QTest::newRow("replace, feeder") << int(MainWindow::ScanReplace) << "Adf-front" << false << "0"
                                     << "Stop";
    QTest::newRow("replace, duplex") << int(MainWindow::ScanReplace) << "Adf-duplex" << false << "0"
                                     << "Stop";
    QTest::newRow("to last, feeder") << int(MainWindow::ScanToLast) << "Adf-front" << false << "1"
                                     << "Stop";
    QTest::newRow("manual pass") << int(MainWindow::ScanToLast) << "Adf-front" << true << "1"
                                 << "Do-not-detect";
}

// What SetScanOptions leaves on the opened simulated device.
void TestScanWorkflow::optionsSent()
{
    QFETCH(int, scanType);
    QFETCH(QString, source);
    QFETCH(bool, manualPass);
    QFETCH(QString, autofeed);
    QFETCH(QString, multifeed);

    QVERIFY(m_fx->SetPanelCombo("cmSource", source));
    m_fx->Child<QCheckBox>("cbMultifeedDetection")->setChecked(true);
    m_fx->window->SetPassManual();
    m_fx->Child<QAction>("actionPassManual")->setChecked(manualPass);
    QCOMPARE(m_fx->window->ManualPass(), manualPass);
    m_fx->window->SetScanType(scanType);
    SaneScan* sane = m_fx->Session();
    QCOMPARE(sane->OpenDevice(QStringLiteral("zylkx:KX-8000")), 0);
    const bool ok = m_fx->window->SetScanOptions();
    Opt_Result feed, prepick, detection, src;
    sane->GetOption(QStringLiteral("autofeed"), feed);
    sane->GetOption(QStringLiteral("prepick"), prepick);
    sane->GetOption(QStringLiteral("multifeed-detection"), detection);
    sane->GetOption(QStringLiteral("source"), src);
    sane->CloseDevice();
    QVERIFY(ok);
    QCOMPARE(src.value, source);
    QCOMPARE(feed.value, autofeed);
    QCOMPARE(prepick.value, autofeed);
    QCOMPARE(detection.value, multifeed);
}

void TestScanWorkflow::manualPassUncheckedAfterScan()
{
    m_fx->Child<QCheckBox>("cbMultifeedDetection")->setChecked(true);
    m_fx->window->SetPassManual();
    auto* pass = m_fx->Child<QAction>("actionPassManual");
    QVERIFY(pass->isEnabled());
    pass->setChecked(true);
    QVERIFY(m_fx->window->ManualPass());
    QVERIFY(Scan("actionScanToLast"));
    QCOMPARE(m_fx->window->PageFiles().size(), 3);
    QVERIFY(!pass->isChecked());
    QVERIFY(!m_fx->window->ManualPass());
}

void TestScanWorkflow::failedScans_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("pagesKept");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty feeder") << "sheets=0" << 0 << "进纸器没有纸张(错误码:7)\r\n请放入纸张";
    QTest::newRow("device gone") << "devices=zylwy:WY200" << 0 << "数据不合法(或找不到设备)(错误码:4)";
    QTest::newRow("jam feeding sheet 2") << "sheets=3\nerror=jam\nerror-sheet=2\nerror-at=start" << 1
                                         << "检测到卡纸(错误码:6)\r\n请取出堵塞的纸张";
    // Stopped half-way: the part of the page read so far is kept as well.
    QTest::newRow("multifeed in sheet 3")
        << "sheets=3\nerror=multifeed\nerror-sheet=3" << 3 << "检测到多页进纸(错误码:6)\r\n请取出堵塞的纸张";
    QTest::newRow("jam code of a multifeed in capitals")
        << "sheets=3\nerror=jam\nerror-sheet=2\nerror-at=start\nerror-code=0X03800755" << 1
        << "检测到卡纸(错误码:6)\r\n请取出堵塞的纸张";
}

void TestScanWorkflow::failedScans()
{
    QFETCH(QString, scenario);
    QFETCH(int, pagesKept);
    QFETCH(QString, message);

    // Two pages already there, the first one current.
    WindowFixture::WriteScenario(QStringLiteral("sheets=2\nsource=Adf-front\nload=first"));
    QVERIFY(Scan("actionScanToLast"));
    const QList<QString> earlier = m_fx->window->PageFiles();
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(0);

    WindowFixture::WriteScenario(QStringLiteral("source=Adf-front\nload=second\n") + scenario);
    QVERIFY(Scan("actionScanToLast"));
    const QList<QString> files = m_fx->window->PageFiles();
    QCOMPARE(files.size(), 2 + pagesKept);
    QCOMPARE(files.mid(0, 2), earlier);
    QCOMPARE(m_fx->View()->GetPagePaths().toList(), files);
    QCOMPARE(m_fx->View()->GetCurrentIndex(), pagesKept == 0 ? 0 : files.size() - 1);
    QCOMPARE(m_fx->answerer.titles, QStringList({"错误"}));
    QCOMPARE(m_fx->answerer.texts, QStringList({message}));
    QCOMPARE(m_fx->LabelText("lblImgInfo"), QStringLiteral("当前图像数量：%1").arg(2 + pagesKept));
    QCOMPARE(m_fx->JumpItems().size(), 2 + pagesKept);
    QVERIFY(!m_fx->Child<QListWidget>("lwImgThumbnail")->signalsBlocked());
    QCOMPARE(m_fx->window->ScanNumber(), 3 + pagesKept);
}

void TestScanWorkflow::pageFileFormat_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("pages");

    QTest::newRow("colour") << "Color"
                            << "jpg" << 3;
    QTest::newRow("grey") << "Gray"
                          << "jpg" << 3;
    QTest::newRow("black and white") << "Lineart"
                                     << "tiff" << 3;
    QTest::newRow("multi-image") << "Multi-image-output"
                                 << "tiff" << 6;
}

void TestScanWorkflow::pageFileFormat()
{
    QFETCH(QString, mode);
    QFETCH(QString, suffix);
    QFETCH(int, pages);

    QVERIFY(m_fx->SetPanelCombo("cmMode", mode));
    QVERIFY(Scan("actionScanToLast"));
    const QList<QString> files = m_fx->window->PageFiles();
    QCOMPARE(files.size(), pages);
    for (const QString& file : files) {
        QCOMPARE(QFileInfo(file).suffix(), suffix);
        QVERIFY2(!QImage(file).isNull(), qPrintable(file));
    }
}

// The page limit of a job: the overhead scanner takes one page per job even
// while it would deliver more; the sheet feeders take the whole feeder.
void TestScanWorkflow::pageLimitPerFamily_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("pagesPerJob");

    QTest::newRow("RV920, delayed scan") << "devices=zyljn:RV920\npackages=none\nsheets=3"
                                         << "" << 1;
    QTest::newRow("KX-8000 feeder") << "devices=zylkx:KX-8000\nsheets=3"
                                    << "Adf-front" << 3;
    QTest::newRow("KX-8000 duplex feeder") << "devices=zylkx:KX-8000\nsheets=3"
                                           << "Adf-duplex" << 6;
    QTest::newRow("WY200 feeder") << "devices=zylwy:WY200\nsheets=3"
                                  << "Adf-front" << 3;
}

void TestScanWorkflow::pageLimitPerFamily()
{
    QFETCH(QString, scenario);
    QFETCH(QString, source);
    QFETCH(int, pagesPerJob);

    QVERIFY(StartWith(scenario));
    QVERIFY(m_fx->Panel());
    if (source.isEmpty()) {
        // The overhead scanner in its delayed mode goes on scanning: the
        // simulator really has more than one page for a job.
        m_fx->Child<QCheckBox>("cbTimeScan")->setChecked(true);
        SaneScan* sane = m_fx->Session();
        QTemporaryDir dir;
        QCOMPARE(sane->OpenDevice(m_fx->Container()->m_currentDevice), 0);
        QVERIFY(sane->SetOption(QStringLiteral("time-scan"), QStringLiteral("yes")));
        {
            const QSignalBlocker quiet(sane); // not for the window's page list
            QCOMPARE(sane->Scan(dir.path() + QStringLiteral("/p"), QStringLiteral("jpg"), 1, 4, 0), 0);
        }
        sane->CloseDevice();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
        WindowFixture::WriteScenario(scenario + QStringLiteral("\nload=again"));
    } else {
        // Every family's panel exists; only the shown one counts.
        auto* panel = dynamic_cast<QWidget*>(m_fx->Panel());
        panel->findChild<QSpinBox*>(QStringLiteral("sbResolution"))->setValue(75);
        auto* sources = panel->findChild<QComboBox*>(QStringLiteral("cmSource"));
        sources->setCurrentIndex(sources->findData(source));
        QCOMPARE(m_fx->Panel()->GetSource(), source);
    }
    QVERIFY(Scan("actionScanToLast"));
    QCOMPARE(m_fx->window->PageFiles().size(), pagesPerJob);
    QVERIFY(m_fx->answerer.texts.isEmpty());
    if (source.isEmpty()) {
        QVERIFY(Scan("actionScanToLast"));
        QCOMPARE(m_fx->window->PageFiles().size(), 2 * pagesPerJob);
    }
}

QTEST_MAIN(TestScanWorkflow)
#include "tst_scanworkflow.moc"
