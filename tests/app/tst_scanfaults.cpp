#include "imageviewwidget.h"
#include "mainwindow.h"
#include "maskerdialog.h"
#include "pagefile.h"
#include "simpage.h"
#include "thumbnailwidget.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <unistd.h>

namespace {
const int kDpi = 50;
const QString kExitQuestion = QStringLiteral("扫描图像未保存，确定要退出吗？");
const QString kJam = QStringLiteral("检测到卡纸(错误码:6)\r\n请取出堵塞的纸张");
const QString kAccess = QStringLiteral("无法读写文件(错误码:11)\r\n请确认文件保存路径有读写权限");
} // namespace

// Scans that do not run to their end: stopped by the user in each way the
// overlay and the window offer, cut off by the scanner, or refused a second
// job; and what the page list then shows.
class TestScanFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void stopScan_data();
    void stopScan();
    void secondJobRefused();
    void interruptedPageMarked();
    void failedReplaceKeepsPage_data();
    void failedReplaceKeepsPage();
    void tempFolderNamed_data();
    void tempFolderNamed();

private:
    bool Trigger(const char* action);
    void Scenario(const QString& lines);
    QStringList Markers() const;
    QString LargeMarker() const;
    QString ThumbText(int row) const;
    QStringList LeftoverParts() const;
    MaskerDialog* Masker() const { return m_fx->window->findChild<MaskerDialog*>(); }

    QScopedPointer<WindowFixture> m_fx;
    int m_load = 0;
};

// One window for the whole run (its start-up is the slow part); every test
// begins with an empty page list.
void TestScanFaults::initTestCase()
{
    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    m_fx.reset(new WindowFixture);
    QVERIFY(m_fx->Start());
    m_fx->SetResolution(kDpi);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
}

void TestScanFaults::init()
{
    QVERIFY(m_fx->window);
    QTRY_VERIFY(!m_fx->window->JobRunning());
    m_fx->answerer.SetAnswer(QMessageBox::Yes);
    if (!m_fx->window->PageFiles().isEmpty()) {
        m_fx->Child<QAction>("actionBroom")->trigger();
        QVERIFY(m_fx->WaitJobDone());
    }
    QVERIFY(m_fx->window->PageFiles().isEmpty());
    m_fx->answerer.texts.clear();
    m_fx->answerer.titles.clear();
    m_fx->jobsDone = 0;
}

void TestScanFaults::cleanupTestCase()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

void TestScanFaults::Scenario(const QString& lines)
{
    WindowFixture::WriteScenario(lines + QStringLiteral("\nsource=Adf-front\nload=%1").arg(++m_load));
}

bool TestScanFaults::Trigger(const char* action)
{
    auto* act = m_fx->Child<QAction>(action);
    if (!act || !act->isEnabled()) {
        qWarning("action %s not usable", action);
        return false;
    }
    act->trigger();
    return true;
}

QStringList TestScanFaults::Markers() const
{
    QStringList markers;
    for (const QString& file : m_fx->window->PageFiles()) {
        markers << (IsPageComplete(file) ? SimPage::FileMarker(file, kDpi) : QStringLiteral("interrupted"));
    }
    return markers;
}

QString TestScanFaults::LargeMarker() const
{
    auto* label = m_fx->window->findChild<QLabel*>(QStringLiteral("largeLabel"));
    const QImage shown = label->pixmap(Qt::ReturnByValue).toImage();
    if (shown.isNull()) {
        return QStringLiteral("<empty>");
    }
    return SimPage::Marker(shown, kDpi);
}

QString TestScanFaults::ThumbText(int row) const
{
    auto* list = m_fx->Child<QListWidget>("lwImgThumbnail");
    auto* widget = list->itemWidget(list->item(row));
    auto* text = widget ? widget->findChild<QLabel*>(QStringLiteral("lblText")) : nullptr;
    auto* image = widget ? widget->findChild<QLabel*>(QStringLiteral("lblImage")) : nullptr;
    if (!text || !image || image->pixmap(Qt::ReturnByValue).isNull()) {
        return QStringLiteral("<no thumbnail>");
    }
    return text->text();
}

QStringList TestScanFaults::LeftoverParts() const
{
    return QDir(m_fx->ScanDir()).entryList({QStringLiteral("*.part")}, QDir::Files);
}

void TestScanFaults::stopScan_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("pagesFirst"); // pages to wait for before stopping

    QTest::newRow("stop button") << "button" << 2;
    QTest::newRow("Esc on the overlay") << "escape" << 2;
    QTest::newRow("close request to the overlay") << "close overlay" << 2;
    QTest::newRow("closing the main window") << "close window" << 2;
    QTest::newRow("stop before the first page") << "button" << 0;
}

// The scan ends early; the pages read completely stay, in order, the one
// being read is dropped with its file, and nothing is reported as an error.
// The window stays: closing it afterwards asks the usual question.
void TestScanFaults::stopScan()
{
    QFETCH(QString, how);
    QFETCH(int, pagesFirst);

    const int sheets = 12;
    Scenario(QStringLiteral("sheets=%1\npage-delay-ms=150").arg(sheets));
    QVERIFY(Trigger("actionScanToLast"));
    QVERIFY(Masker() && Masker()->isVisible());
    auto* stop = Masker()->findChild<QPushButton*>(QStringLiteral("btnStopScan"));
    QVERIFY(stop && stop->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(m_fx->window->PageFiles().size() >= pagesFirst, 15000);

    if (how == QLatin1String("button")) {
        stop->click();
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(Masker(), Qt::Key_Escape);
    } else if (how == QLatin1String("close overlay")) {
        Masker()->close();
    } else {
        m_fx->window->close();
    }
    QVERIFY(m_fx->WaitJobDone());
    QVERIFY(m_fx->window);
    QVERIFY(m_fx->window->isVisible());
    QCOMPARE(m_fx->answerer.texts, QStringList());

    const QStringList markers = Markers();
    QVERIFY2(markers.size() >= pagesFirst && markers.size() < sheets, qPrintable(markers.join(' ')));
    QStringList expected;
    for (int i = 1; i <= markers.size(); ++i) {
        expected << QStringLiteral("%1A").arg(i);
    }
    QCOMPARE(markers, expected);
    QCOMPARE(LeftoverParts(), QStringList());
    for (int row = 0; row < markers.size(); ++row) {
        QCOMPARE(ThumbText(row), QString());
    }
    QVERIFY(!Masker()->isVisible());
    QCOMPARE(m_fx->LabelText("lblImgInfo"), QStringLiteral("当前图像数量：%1").arg(markers.size()));

    // Now the window closes as usual: with pages, it asks first.
    if (!markers.isEmpty()) {
        m_fx->answerer.SetAnswer(QMessageBox::No);
        m_fx->window->close();
        QTRY_COMPARE(m_fx->answerer.texts, QStringList{kExitQuestion});
        QVERIFY(m_fx->window && m_fx->window->isVisible());
    }
}

// While a scan runs, no other job starts: not a save, not a scanner switch,
// not a second scan. The scan itself runs on undisturbed.
void TestScanFaults::secondJobRefused()
{
    const QString device = m_fx->window->DeviceList().first();
    Scenario(QStringLiteral("sheets=4\npage-delay-ms=120"));
    QVERIFY(Trigger("actionScanToLast"));
    QTRY_VERIFY_WITH_TIMEOUT(m_fx->window->PageFiles().size() >= 1, 15000);
    QVERIFY(m_fx->window->JobRunning());
    m_fx->window->Save();
    m_fx->window->OnChangeDevice(device, QStringLiteral("zylwy:WY200"));
    m_fx->window->OnGetDefaultOpts(device);
    m_fx->window->ScanImage(MainWindow::ScanToLast);
    QVERIFY(m_fx->WaitJobDone());
    // A refused job may not report back later either.
    QTest::qWait(300);
    QCOMPARE(m_fx->jobsDone, 0);
    QCOMPARE(Markers(), QStringList({"1A", "2A", "3A", "4A"}));
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：") + device);
    QCOMPARE(m_fx->answerer.texts, QStringList());
    QVERIFY(!QDir(m_fx->home->path() + QStringLiteral("/scanvyimg")).exists() ||
            QDir(m_fx->home->path() + QStringLiteral("/scanvyimg")).entryList(QDir::Files).isEmpty());
}

// A page cut off by a jam stays as a placeholder that says so, in the
// thumbnail and in the large view; the large view never shows the page
// before it in its place.
void TestScanFaults::interruptedPageMarked()
{
    Scenario(QStringLiteral("sheets=3\nerror=jam\nerror-sheet=2"));
    QVERIFY(Trigger("actionScanToLast"));
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(m_fx->answerer.texts, QStringList{kJam});
    QCOMPARE(Markers(), QStringList({"1A", "interrupted"}));
    QCOMPARE(ThumbText(0), QString());
    QCOMPARE(ThumbText(1), QStringLiteral("未完成"));
    QCOMPARE(m_fx->View()->GetCurrentIndex(), 1);
    QVERIFY(LargeMarker() != QLatin1String("<empty>"));
    QVERIFY(LargeMarker() != QLatin1String("1A"));

    auto* jump = m_fx->Child<QComboBox>("cmPageJump");
    jump->setCurrentIndex(0);
    QCOMPARE(LargeMarker(), QStringLiteral("1A"));
    jump->setCurrentIndex(1);
    QVERIFY(LargeMarker() != QLatin1String("<empty>"));
    QVERIFY(LargeMarker() != QLatin1String("1A"));

    // Replacing the placeholder with a good page takes the mark away.
    Scenario(QStringLiteral("sheets=1"));
    QVERIFY(Trigger("actionScanReplace"));
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(Markers(), QStringList({"1A", "1A"}));
    QCOMPARE(ThumbText(1), QString());
    QCOMPARE(LargeMarker(), QStringLiteral("1A"));
}

void TestScanFaults::failedReplaceKeepsPage_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("jam in the middle of the page") << "sheets=1\nerror=jam" << false << QStringList{kJam};
    QTest::newRow("cover opened") << "sheets=1\nerror=cover-open" << false
                                  << QStringList{QStringLiteral("进纸器被打开(错误码:8)\r\n请关闭进纸器")};
    QTest::newRow("stopped by the user") << "sheets=1\npage-delay-ms=2000" << true << QStringList{};
}

// "替换扫描" that does not complete leaves the page it was to replace: same
// file, same content, same thumbnail and large view.
void TestScanFaults::failedReplaceKeepsPage()
{
    QFETCH(QString, scenario);
    QFETCH(bool, stopped);
    QFETCH(QStringList, messages);

    Scenario(QStringLiteral("sheets=3"));
    QVERIFY(Trigger("actionScanToLast"));
    QVERIFY(m_fx->WaitJobDone());
    const int nextNumber = m_fx->window->ScanNumber();
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(1);
    const QList<QString> before = m_fx->window->PageFiles();
    QFile page(before.at(1));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray bytes = page.readAll();
    page.close();

    Scenario(scenario);
    QVERIFY(Trigger("actionScanReplace"));
    if (stopped) {
        QTest::qWait(300);
        Masker()->findChild<QPushButton*>(QStringLiteral("btnStopScan"))->click();
    }
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(m_fx->answerer.texts, messages);
    QCOMPARE(m_fx->window->PageFiles(), before);
    QVERIFY(page.open(QIODevice::ReadOnly));
    QCOMPARE(page.readAll(), bytes);
    QCOMPARE(Markers(), QStringList({"1A", "2A", "3A"}));
    QCOMPARE(m_fx->View()->GetPagePaths().toList(), before);
    QCOMPARE(ThumbText(1), QString());
    QCOMPARE(LargeMarker(), QStringLiteral("2A"));
    QCOMPARE(LeftoverParts(), QStringList());
    // The next page file gets a new number all the same.
    QCOMPARE(m_fx->window->ScanNumber(), nextNumber + 1);
}

void TestScanFaults::tempFolderNamed_data()
{
    QTest::addColumn<QString>("mountOptions");
    QTest::addColumn<QString>("problem");

    QTest::newRow("full") << "size=16k" << QStringLiteral("临时文件夹空间已满：%1");
    QTest::newRow("read-only") << "ro" << QStringLiteral("临时文件夹无法写入：%1");
}

// A scan that cannot write its page files says why, and where: the error's
// usual text first, then the temporary folder that is full or unwritable.
void TestScanFaults::tempFolderNamed()
{
    QFETCH(QString, mountOptions);
    QFETCH(QString, problem);

    if (geteuid() != 0) {
        QSKIP("mounting a small file system needs root");
    }
    const QString scanDir = m_fx->ScanDir();
    QVERIFY(QDir().mkpath(scanDir));
    if (QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), mountOptions,
                           QStringLiteral("tmpfs"), scanDir}) != 0) {
        QSKIP("no tmpfs mount here");
    }
    Scenario(QStringLiteral("sheets=2"));
    const bool scanned = Trigger("actionScanToLast") && m_fx->WaitJobDone();
    const QStringList texts = m_fx->answerer.texts;
    const int unmounted = QProcess::execute(QStringLiteral("umount"), {scanDir});
    QVERIFY(scanned);
    QCOMPARE(unmounted, 0);
    QCOMPARE(texts, QStringList{kAccess + QStringLiteral("\r\n") + problem.arg(scanDir)});
}

QTEST_MAIN(TestScanFaults)
#include "tst_scanfaults.moc"
