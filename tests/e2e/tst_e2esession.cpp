#include "cancelbuttonrectstyle.h"
#include "gdata.h"
#include "imageviewwidget.h"
#include "mainwindow.h"
#include "sessioncheck.h"
#include "usbhotplugthread.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTranslator>
#include <QtTest>

using namespace SessionCheck;

namespace {

const int kDpi = 75;
const QString kJam = QStringLiteral("检测到卡纸(错误码:6)\r\n请取出堵塞的纸张");
const QString kDone = QStringLiteral("检测扫描仪操作已完成\r\n[本窗口自动关闭]");
const QString kSaved = QStringLiteral("保存成功\n"); // then what was written where
const QString kNoScanner = QStringLiteral("未连接扫描仪");

} // namespace

// Whole sessions as a user runs them: the program started the way main starts
// it, on the simulated scanners, driven through its actions; every saved
// document read back with the system's tools and the pages' sheet markers.
class TestE2eSession : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void editAndSave_data();
    void editAndSave();
    void settingsSurviveRestart();
    void jamThenReplaceAndSaveSinglePdf();
    void replugWhileIdle();
    void unplugDuringScan();

private:
    void Start(int format, const QString& scenario = QStringLiteral("sheets=0"));
    bool Trigger(const char* action);
    bool Scan(const char* action, const QString& scenario);
    void Select(int row);
    QStringList Markers() const;
    QStringList SavedFiles() const;
    QStringList FilesUnder(const QString& dir) const;
    QString Out() const { return m_fx->home->path() + QStringLiteral("/out"); }

    QScopedPointer<WindowFixture> m_fx;
    QTranslator m_qtTranslator;
    int m_load = 0;
};

void TestE2eSession::initTestCase()
{
    // What main installs before it builds the window.
    if (m_qtTranslator.load(QStringLiteral(":/trans/qtbase_zh_CN.qm"))) {
        QApplication::installTranslator(&m_qtTranslator);
    }
    QApplication::setStyle(new CancelButtonRectStyle);
}

void TestE2eSession::cleanup()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

void TestE2eSession::Start(int format, const QString& scenario)
{
    m_fx.reset(new WindowFixture);
    {
        QSettings ini(m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                      QSettings::IniFormat);
        ini.setValue(QStringLiteral("Scanner/FilePath"), Out());
        ini.setValue(QStringLiteral("Scanner/Prefix"), QStringLiteral("s"));
        ini.setValue(QStringLiteral("Scanner/ScanCount"), QStringLiteral("7"));
        ini.setValue(QStringLiteral("Scanner/ScanMinCountSize"), QStringLiteral("4"));
        ini.setValue(QStringLiteral("Scanner/FileFormat"), QString::number(format));
    }
    WindowFixture::WriteScenario(scenario);
    QVERIFY(m_fx->Start());
    QVERIFY(m_fx->window->isVisible());
    m_fx->SetResolution(kDpi);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QCOMPARE(m_fx->Child<QComboBox>("cmImageFormat")->currentIndex(), format);
}

bool TestE2eSession::Trigger(const char* action)
{
    auto* act = m_fx->Child<QAction>(action);
    if (!act || !act->isEnabled()) {
        qWarning("action %s not usable", action);
        return false;
    }
    act->trigger();
    return true;
}

bool TestE2eSession::Scan(const char* action, const QString& scenario)
{
    WindowFixture::WriteScenario(scenario + QStringLiteral("\nload=%1").arg(++m_load));
    return Trigger(action) && m_fx->WaitJobDone();
}

void TestE2eSession::Select(int row)
{
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(row);
}

QStringList TestE2eSession::Markers() const
{
    QStringList markers;
    for (const QString& file : m_fx->window->PageFiles()) {
        markers << Reading(QImage(file), kDpi);
    }
    return markers;
}

QStringList TestE2eSession::SavedFiles() const
{
    return QDir(Out()).entryList(QDir::Files, QDir::Name);
}

QStringList TestE2eSession::FilesUnder(const QString& dir) const
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next();
    }
    return files;
}

void TestE2eSession::editAndSave_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("file");
    QTest::newRow("PDF") << 6 << "s0007.pdf";
    QTest::newRow("OFD") << 8 << "s0007.ofd";
    QTest::newRow("multi-page TIFF") << 1 << "s0007.tiff";
}

// Scan 5 duplex sheets, turn page 2, delete page 3, re-scan page 1, insert
// 2 sheets before page 2, save everything as one document.
void TestE2eSession::editAndSave()
{
    QFETCH(int, format);
    QFETCH(QString, file);
    Start(format);
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-duplex")));

    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=5")));
    QCOMPARE(Markers(), QStringList({"1A", "1B", "2A", "2B", "3A", "3B", "4A", "4B", "5A", "5B"}));

    Select(1);
    QVERIFY(Trigger("actionRotateRight") && m_fx->WaitJobDone());
    Select(2);
    m_fx->answerer.SetAnswer(QMessageBox::Yes);
    QVERIFY(Trigger("actionDelete"));
    QCOMPARE(m_fx->answerer.texts.value(0), QStringLiteral("是否删除选中图像？"));
    m_fx->answerer.texts.clear();
    QCOMPARE(Markers(), QStringList({"1A", "1B@90", "2B", "3A", "3B", "4A", "4B", "5A", "5B"}));

    const QString firstBefore = m_fx->window->PageFiles().value(0);
    Select(0);
    QVERIFY(Scan("actionScanReplace", QStringLiteral("sheets=1")));
    QCOMPARE(m_fx->window->PageFiles().size(), 9);
    QVERIFY(m_fx->window->PageFiles().value(0) != firstBefore);
    QVERIFY(!QFileInfo::exists(firstBefore) || !m_fx->window->PageFiles().contains(firstBefore));

    Select(1);
    QVERIFY(Scan("actionScantoPrev", QStringLiteral("sheets=2")));
    const QStringList expected = {"1A", "1A", "1B", "2A", "2B", "1B@90", "2B",
                                  "3A", "3B", "4A", "4B", "5A", "5B"};
    QCOMPARE(Markers(), expected);
    QCOMPARE(m_fx->View()->GetPagePaths().toList(), m_fx->window->PageFiles());
    QCOMPARE(m_fx->LabelText("lblImgInfo"), QStringLiteral("当前图像数量：13"));
    QVERIFY(m_fx->answerer.texts.isEmpty());

    // What each page holds now, to compare with the document.
    QList<QByteArray> pageBytes;
    for (const QString& page : m_fx->window->PageFiles()) {
        pageBytes << Bytes(page);
    }

    QVERIFY(Trigger("actionSave"));
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(m_fx->answerer.texts.size(), 1);
    QVERIFY(m_fx->answerer.texts.first().startsWith(kSaved));
    QCOMPARE(SavedFiles(), QStringList({file}));
    const QString saved = Out() + QLatin1Char('/') + file;

    QStringList readings;
    if (format == 6) {
        bool ok = false;
        QVERIFY(Run(QStringLiteral("qpdf"), {QStringLiteral("--check"), saved}, &ok).size() > 0);
        QVERIFY(ok);
        const QList<QImage> pages = RenderPdf(saved, kDpi, m_fx->home->path());
        for (const QImage& page : pages) {
            // A4 at 75 dpi, upright or turned.
            const QSize size = page.width() < page.height() ? page.size() : page.size().transposed();
            QVERIFY2(qAbs(size.width() - 620) <= 1 && qAbs(size.height() - 877) <= 1,
                     qPrintable(QStringLiteral("%1x%2").arg(page.width()).arg(page.height())));
            readings << Reading(page, kDpi);
        }
    } else if (format == 8) {
        const QStringList media = OfdPageMedia(saved, m_fx->home->path() + QStringLiteral("/ofd"));
        QCOMPARE(media.size(), pageBytes.size());
        for (int i = 0; i < media.size(); ++i) {
            QVERIFY2(Bytes(media.at(i)) == pageBytes.at(i), qPrintable(media.at(i)));
            readings << Reading(QImage(media.at(i)), kDpi);
        }
    } else {
        bool ok = false;
        const QString info = Run(QStringLiteral("tiffinfo"), {saved}, &ok);
        QVERIFY(ok);
        QCOMPARE(info.count(QStringLiteral("TIFF Directory")), expected.size());
        for (const QImage& page : ReadTiff(saved)) {
            readings << Reading(page, kDpi);
        }
    }
    QCOMPARE(readings, expected);

    // The counter moved on by one document; pages and their files are gone.
    QCOMPARE(m_fx->window->Counter(), 8);
    QSettings ini(m_fx->window->ConfigFilePath(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("Scanner/ScanCount")).toString(), QStringLiteral("8"));
    QVERIFY(m_fx->window->PageFiles().isEmpty());
    QVERIFY(m_fx->View()->GetPagePaths().isEmpty());
    QCOMPARE(m_fx->LabelText("lblImgInfo"), QStringLiteral("当前图像数量：0"));
    QCOMPARE(FilesUnder(m_fx->window->WorkDir()), QStringList());
}

// Settings changed on the scan-settings page and kept on leaving it are shown
// again after a restart and sent with the next scan.
void TestE2eSession::settingsSurviveRestart()
{
    Start(3, QStringLiteral("sheets=0"));
    QVERIFY(Trigger("actionScanConfig"));
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Gray")));
    m_fx->SetResolution(100);
    m_fx->answerer.SetAnswer(QMessageBox::Yes);
    m_fx->Child<QPushButton>("btnReturnToImageFromScan")->click();
    QCOMPARE(m_fx->answerer.texts,
             QStringList({QStringLiteral("扫描配置已修改，是否要保存？"), QStringLiteral("扫描配置已保存")}));

    // Close the window as the user does, then start again on the same home.
    QVERIFY(m_fx->window->close());
    QScopedPointer<QTemporaryDir> home;
    home.swap(m_fx->home);
    m_fx.reset();
    m_fx.reset(new WindowFixture);
    m_fx->home.swap(home);
    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    QVERIFY(m_fx->Start());
    QCOMPARE(m_fx->Child<QComboBox>("cmMode")->currentData().toString(), QStringLiteral("Gray"));
    QCOMPARE(m_fx->Child<QSpinBox>("sbResolution")->value(), 100);

    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=1\nsource=Adf-front")));
    QCOMPARE(m_fx->window->PageFiles().size(), 1);
    const QImage page(m_fx->window->PageFiles().first());
    QVERIFY(page.isGrayscale());
    QCOMPARE(page.width(), 827); // 210 mm at 100 dpi
    QCOMPARE(Reading(page, 100), QStringLiteral("1A"));
}

// A jam at sheet 3 of 5: the message, the pages read so far and the jammed
// one kept; the jammed page scanned again and all saved as single PDFs.
void TestE2eSession::jamThenReplaceAndSaveSinglePdf()
{
    Start(5);
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=5\nsource=Adf-front\nerror=jam\nerror-sheet=3")));
    QCOMPARE(m_fx->answerer.texts, QStringList({kJam}));
    m_fx->answerer.texts.clear();
    const QList<QString> pages = m_fx->window->PageFiles();
    QCOMPARE(pages.size(), 3);
    QCOMPARE(Markers().mid(0, 2), QStringList({"1A", "2A"}));
    // The jammed page keeps its place; what was read of it is in its ".part"
    // file until it is scanned again.
    QVERIFY(!QFileInfo::exists(pages.at(2)));
    QCOMPARE(Reading(QImage(pages.at(2) + QStringLiteral(".part")), kDpi), QStringLiteral("3A"));
    QCOMPARE(m_fx->LabelText("lblImgInfo"), QStringLiteral("当前图像数量：3"));

    // Saving now is refused, naming the page: nothing is written and no page
    // is dropped.
    QVERIFY(Trigger("actionSave"));
    QTRY_VERIFY(!m_fx->answerer.texts.isEmpty());
    QCOMPARE(m_fx->answerer.texts,
             QStringList({QStringLiteral("第3页扫描未完成，请替换扫描或删除该页后再保存")}));
    m_fx->answerer.texts.clear();
    QCOMPARE(SavedFiles(), QStringList());
    QCOMPARE(m_fx->window->PageFiles(), pages);
    QCOMPARE(m_fx->window->Counter(), 7);

    Select(2);
    // The user clears the jam and feeds the sheet again.
    QVERIFY(Scan("actionScanReplace", QStringLiteral("sheets=1\nsource=Adf-front")));
    QCOMPARE(m_fx->window->PageFiles().size(), 3);
    QVERIFY(m_fx->window->PageFiles().at(2) != pages.at(2));
    QCOMPARE(Markers(), QStringList({"1A", "2A", "1A"}));
    QVERIFY(m_fx->answerer.texts.isEmpty());

    QVERIFY(Trigger("actionSave"));
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(m_fx->answerer.texts.size(), 1);
    QVERIFY(m_fx->answerer.texts.first().startsWith(kSaved));
    QCOMPARE(SavedFiles(), QStringList({"s0007.pdf", "s0008.pdf", "s0009.pdf"}));
    QStringList readings;
    for (const QString& name : SavedFiles()) {
        const QList<QImage> rendered = RenderPdf(Out() + QLatin1Char('/') + name, kDpi, m_fx->home->path());
        QCOMPARE(rendered.size(), 1);
        readings << Reading(rendered.first(), kDpi);
    }
    QCOMPARE(readings, QStringList({"1A", "2A", "1A"}));
    QCOMPARE(m_fx->window->Counter(), 10);
    QVERIFY(m_fx->window->PageFiles().isEmpty());
}

// Unplugged and plugged again while idle: the pages stay, scanning follows
// the scanner's presence.
void TestE2eSession::replugWhileIdle()
{
    Start(6);
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=2\nsource=Adf-front")));
    const QList<QString> pages = m_fx->window->PageFiles();
    QCOMPARE(pages.size(), 2);
    m_fx->answerer.SetPassive(true); // the completion box closes by itself

    WindowFixture::WriteScenario(QStringLiteral("usb=none\ndevices=zylkx:KX-F600"));
    emit m_fx->Monitor()->sglUSBListChanged(2);
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), kNoScanner);
    QVERIFY(!m_fx->Child<QAction>("actionScanToLast")->isEnabled());
    QVERIFY(!GData::ctx().m_scannerReady);
    QCOMPARE(m_fx->window->PageFiles(), pages);

    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    emit m_fx->Monitor()->sglUSBListChanged(1);
    QVERIFY(m_fx->WaitJobDone());
    QTRY_VERIFY(m_fx->LabelText("lblScannerInfo") != kNoScanner);
    QVERIFY(GData::ctx().m_scannerReady);
    QCOMPARE(m_fx->answerer.texts, QStringList({kDone, kDone}));
    m_fx->answerer.SetPassive(false);

    // The panel may be new: scan at the test resolution again.
    m_fx->SetResolution(kDpi);
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=1\nsource=Adf-front")));
    QCOMPARE(m_fx->window->PageFiles().size(), 3);
    QCOMPARE(m_fx->window->PageFiles().mid(0, 2), pages);
    QCOMPARE(Markers(), QStringList({"1A", "2A", "1A"}));
}

// The scanner is pulled out while a page is read: the pages read before stay,
// the notice waits for the scan and is then acted on; plugged in again, the
// next scan works.
void TestE2eSession::unplugDuringScan()
{
    Start(6);
    WindowFixture::WriteScenario(QStringLiteral("sheets=6\nsource=Adf-front\npage-delay-ms=400\nload=slow"));
    QVERIFY(Trigger("actionScanToLast"));
    QTRY_VERIFY_WITH_TIMEOUT(m_fx->window->PageFiles().size() >= 1, 10000);
    WindowFixture::WriteScenario(QStringLiteral(
        "sheets=6\nsource=Adf-front\npage-delay-ms=400\nload=slow\nusb=none\ndevices=zylkx:KX-F600"));
    emit m_fx->Monitor()->sglUSBListChanged(2);
    // The scan job, then the rebuild it starts.
    QVERIFY(m_fx->WaitJobDone(2, 60000));
    QTest::qWait(300);
    QVERIFY(!m_fx->window->UsbPending());
    const QList<QString> kept = m_fx->window->PageFiles();
    // The complete pages, then, when the unplug came in the middle of a page
    // rather than between two, the interrupted one whose data (possibly none
    // yet) stays in its ".part" file.
    QVERIFY2(kept.size() >= 1 && kept.size() < 6, qPrintable(QString::number(kept.size())));
    const bool cut = !QFileInfo::exists(kept.last());
    const int complete = cut ? kept.size() - 1 : kept.size();
    for (int i = 0; i < complete; ++i) {
        QCOMPARE(Reading(QImage(kept.at(i)), kDpi), QStringLiteral("%1A").arg(i + 1));
    }
    if (cut) {
        QVERIFY(QFileInfo::exists(kept.last() + QStringLiteral(".part")));
    }

    QCOMPARE(m_fx->answerer.texts.size(), 2);
    QVERIFY2(m_fx->answerer.texts.first().contains(QStringLiteral("(错误码:9)")),
             qPrintable(m_fx->answerer.texts.first()));
    QCOMPARE(m_fx->answerer.texts.last(), kDone);
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), kNoScanner);

    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    emit m_fx->Monitor()->sglUSBListChanged(1);
    QVERIFY(m_fx->WaitJobDone());
    QTRY_VERIFY(m_fx->LabelText("lblScannerInfo") != kNoScanner);
    m_fx->SetResolution(kDpi);
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=1\nsource=Adf-front")));
    QCOMPARE(m_fx->window->PageFiles().size(), kept.size() + 1);
    QCOMPARE(m_fx->window->PageFiles().mid(0, kept.size()), kept);
}

QTEST_MAIN(TestE2eSession)
#include "tst_e2esession.moc"
