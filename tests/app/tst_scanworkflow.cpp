// Scans of the main window on the simulated feeders, through the real
// libsane, that do not run to their end: stopped by the user, cut off by the
// scanner, failed replacements; and the options a job sends.
#include "imageviewwidget.h"
#include "interruptedpage.h"
#include "mainwindow.h"
#include "maskerdialog.h"
#include "pagefile.h"
#include "pagehistory.h"
#include "sanescan.h"
#include "simpage.h"
#include "thumbnailitemdelegate.h"
#include "thumbnailloader.h"
#include "windowfixture.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

namespace {
const int kDpi = 50;
const QString kJam = QStringLiteral("检测到卡纸(错误码:6)\r\n请取出堵塞的纸张");
} // namespace

class TestScanWorkflow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void stopScan_data();
    void stopScan();
    void failedScans_data();
    void failedScans();
    void failedReplaceKeepsPage_data();
    void failedReplaceKeepsPage();
    void optionsSent_data();
    void optionsSent();
    void scanSteps_data();
    void scanSteps();
    void takenNamesPassedOver();

private:
    bool Scan(const char* action, const QString& scenario);
    QStringList Markers() const;
    QString LargeMarker() const;
    QString ThumbText(int row) const;
    MaskerDialog* Masker() const { return m_fx->window->findChild<MaskerDialog*>(); }

    QScopedPointer<WindowFixture> m_fx;
    int m_load = 0;
};

// One window for the run; every row begins with an empty page list.
void TestScanWorkflow::initTestCase()
{
    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    m_fx.reset(new WindowFixture);
    QVERIFY(m_fx->Start());
    m_fx->SetResolution(kDpi);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
}

void TestScanWorkflow::init()
{
    QTRY_VERIFY(!m_fx->window->JobRunning());
    m_fx->answerer.SetAnswer(QMessageBox::Yes);
    if (!m_fx->window->PageFiles().isEmpty()) {
        m_fx->Child<QAction>("actionBroom")->trigger();
        // Nothing of the earlier rows is kept for 撤销.
        m_fx->window->History()->Drop();
    }
    m_fx->answerer.texts.clear();
    m_fx->answerer.titles.clear();
    m_fx->jobsDone = 0;
}

void TestScanWorkflow::cleanupTestCase()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

// Starts a scan job; with "wait" in front of the scenario, waits for its end.
bool TestScanWorkflow::Scan(const char* action, const QString& scenario)
{
    WindowFixture::WriteScenario(scenario + QStringLiteral("\nsource=Adf-front\nload=%1").arg(++m_load));
    auto* act = m_fx->Child<QAction>(action);
    if (!act || !act->isEnabled())
        return false;
    act->trigger();
    return scenario.contains(QLatin1String("page-delay-ms")) || m_fx->WaitJobDone();
}

QStringList TestScanWorkflow::Markers() const
{
    QStringList markers;
    for (const QString& file : m_fx->window->PageFiles())
        markers << (IsPageComplete(file) ? SimPage::FileMarker(file, kDpi) : QStringLiteral("interrupted"));
    return markers;
}

QString TestScanWorkflow::LargeMarker() const
{
    const QImage shown = m_fx->Child<QLabel>("largeLabel")->pixmap(Qt::ReturnByValue).toImage();
    return shown.isNull() ? QStringLiteral("<empty>") : SimPage::Marker(shown, kDpi);
}

QString TestScanWorkflow::ThumbText(int row) const
{
    // What the column draws for the row once its thumbnail has come: the
    // mark's text, or nothing under a page's thumbnail.
    auto* list = m_fx->Child<QAbstractItemView>("lwImgThumbnail");
    auto* delegate = qobject_cast<ThumbnailItemDelegate*>(list->itemDelegate());
    const QModelIndex index = list->model()->index(row, 0);
    if (delegate == nullptr || !index.isValid())
        return QStringLiteral("<no thumbnail>");
    delegate->Picture(index);
    ThumbnailLoader* loader = m_fx->window->findChild<ImageViewWidget*>()->Thumbnails();
    const QDeadlineTimer deadline(10000);
    while (loader->IsDecoding() && !deadline.hasExpired()) {
        loader->WaitForDecodes(20);
        QCoreApplication::processEvents();
    }
    if (delegate->Picture(index).isNull())
        return QStringLiteral("<no thumbnail>");
    return delegate->ShowsMark(index) ? InterruptedPage::MarkText() : QString();
}

void TestScanWorkflow::stopScan_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("pagesFirst"); // pages to wait for before stopping

    QTest::newRow("stop button") << "button" << 2;
    QTest::newRow("Esc on the overlay, twice") << "escape" << 2;
    QTest::newRow("closing the main window") << "close window" << 2;
    QTest::newRow("stop before the first page") << "button" << 0;
}

// The scan ends early; the pages read completely stay, in order, the one
// being read is dropped with its file, and nothing is reported as an error.
void TestScanWorkflow::stopScan()
{
    QFETCH(QString, how);
    QFETCH(int, pagesFirst);

    const int sheets = 12;
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=%1\npage-delay-ms=150").arg(sheets)));
    QVERIFY(Masker() && Masker()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(m_fx->window->PageFiles().size() >= pagesFirst, 15000);
    if (how == QLatin1String("button")) {
        Masker()->findChild<QPushButton*>(QStringLiteral("btnStopScan"))->click();
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(Masker(), Qt::Key_Escape);
        QTest::keyClick(Masker(), Qt::Key_Escape);
    } else {
        m_fx->window->close();
    }
    QVERIFY(m_fx->WaitJobDone());
    QVERIFY(m_fx->window && m_fx->window->isVisible());
    QCOMPARE(m_fx->answerer.texts, QStringList());

    const QStringList markers = Markers();
    QVERIFY2(markers.size() >= pagesFirst && markers.size() < sheets, qPrintable(markers.join(' ')));
    QStringList expected;
    for (int i = 1; i <= markers.size(); ++i)
        expected << QStringLiteral("%1A").arg(i);
    QCOMPARE(markers, expected);
    QCOMPARE(QDir(m_fx->ScanDir()).entryList({QStringLiteral("*.part")}, QDir::Files), QStringList());
    QVERIFY(!Masker()->isVisible());
    QCOMPARE(m_fx->LabelText("lblImgInfo"), QStringLiteral("当前图像数量：%1").arg(markers.size()));
}

void TestScanWorkflow::failedScans_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("added"); // after the two earlier pages
    QTest::addColumn<QString>("message");

    const QString feeder = QStringLiteral("Adf-front");
    QTest::newRow("empty feeder") << "sheets=0" << feeder << QStringList()
                                  << "进纸器没有纸张(错误码:7)\r\n请放入纸张";
    QTest::newRow("flatbed ends the page before its first byte")
        << "error-status=5\nerror-at=first"
        << "Flatbed" << QStringList() << "平板没有扫描到图像(错误码:7)\r\n请将文稿放好后重新扫描";
    QTest::newRow("jam feeding sheet 2")
        << "sheets=3\nerror=jam\nerror-sheet=2\nerror-at=start" << feeder << QStringList{"1A"} << kJam;
    QTest::newRow("jam in sheet 2") << "sheets=3\nerror=jam\nerror-sheet=2" << feeder
                                    << QStringList{"1A", "interrupted"} << kJam;
    QTest::newRow("multifeed in sheet 3")
        << "sheets=3\nerror=multifeed\nerror-sheet=3" << feeder << QStringList{"1A", "2A", "interrupted"}
        << "检测到多页进纸(错误码:6)\r\n请取出堵塞的纸张";
}

// A scan the scanner breaks off keeps the pages before it and what it read
// of the sheet; a cut-off page is marked as such, never shows the page before
// it, and is refused by a save.
void TestScanWorkflow::failedScans()
{
    QFETCH(QString, scenario);
    QFETCH(QString, source);
    QFETCH(QStringList, added);
    QFETCH(QString, message);

    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=2")));
    const QList<QString> earlier = m_fx->window->PageFiles();
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(0);

    QVERIFY(m_fx->SetPanelCombo("cmSource", source));
    const bool scanned = Scan("actionScanToLast", scenario);
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
    QVERIFY(scanned);
    QCOMPARE(m_fx->answerer.titles, QStringList({"错误"}));
    QCOMPARE(m_fx->answerer.texts, QStringList({message}));
    QCOMPARE(Markers(), QStringList({"1A", "2A"}) + added);
    QCOMPARE(m_fx->window->PageFiles().mid(0, 2), earlier);
    QCOMPARE(m_fx->View()->GetPagePaths().toList(), m_fx->window->PageFiles());
    QCOMPARE(m_fx->View()->GetCurrentIndex(), added.isEmpty() ? 0 : 1 + added.size());
    QCOMPARE(m_fx->JumpItems().size(), 2 + added.size());
    if (!added.contains("interrupted"))
        return;
    const int cut = 1 + added.size();
    QCOMPARE(ThumbText(cut), QStringLiteral("未完成"));
    QCOMPARE(ThumbText(cut - 1), QString());
    const QString previous = added.size() > 1 ? added.at(added.size() - 2) : QStringLiteral("2A");
    QVERIFY(LargeMarker() != QLatin1String("<empty>") && LargeMarker() != previous);
    m_fx->answerer.texts.clear();
    m_fx->Child<QAction>("actionSave")->trigger();
    QTRY_COMPARE(m_fx->answerer.texts,
                 QStringList{QStringLiteral("第%1页扫描未完成，请替换扫描或删除该页后再保存").arg(cut + 1)});
    QCOMPARE(m_fx->window->PageFiles().size(), cut + 1);
}

void TestScanWorkflow::failedReplaceKeepsPage_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("jam in the middle of the page") << "sheets=1\nerror=jam" << false << QStringList{kJam};
    QTest::newRow("stopped by the user") << "sheets=1\npage-delay-ms=2000" << true << QStringList{};
}

// "替换扫描" that does not complete leaves the page it was to replace: same
// file, same content, same thumbnail and large view.
void TestScanWorkflow::failedReplaceKeepsPage()
{
    QFETCH(QString, scenario);
    QFETCH(bool, stopped);
    QFETCH(QStringList, messages);

    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=3")));
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(1);
    const QList<QString> before = m_fx->window->PageFiles();
    QFile page(before.at(1));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray bytes = page.readAll();
    page.close();

    QVERIFY(Scan("actionScanReplace", scenario));
    if (stopped) {
        QTest::qWait(300);
        Masker()->findChild<QPushButton*>(QStringLiteral("btnStopScan"))->click();
        QVERIFY(m_fx->WaitJobDone());
    }
    QCOMPARE(m_fx->answerer.texts, messages);
    QCOMPARE(m_fx->window->PageFiles(), before);
    QVERIFY(page.open(QIODevice::ReadOnly));
    QCOMPARE(page.readAll(), bytes);
    QCOMPARE(Markers(), QStringList({"1A", "2A", "3A"}));
    QCOMPARE(ThumbText(1), QString());
    QCOMPARE(LargeMarker(), QStringLiteral("2A"));
    QCOMPARE(QDir(m_fx->ScanDir()).entryList({QStringLiteral("*.part")}, QDir::Files), QStringList());
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
    m_fx->Child<QAction>("actionPassManual")->setChecked(false);
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
    QVERIFY(ok);
    QCOMPARE(src.value, source);
    QCOMPARE(feed.value, autofeed);
    QCOMPARE(prepick.value, autofeed);
    QCOMPARE(detection.value, multifeed);
}

void TestScanWorkflow::scanSteps_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("added"); // pages more in the list (a replacement takes one sheet)
    QTest::newRow("to the end") << "actionScanToLast"
                                << "扫描到最后 2 张图像" << 2;
    QTest::newRow("before") << "actionScantoPrev"
                            << "扫描到之前 2 张图像" << 2;
    QTest::newRow("after") << "actionScanToNext"
                           << "扫描到之后 2 张图像" << 2;
    QTest::newRow("replace") << "actionScanReplace"
                             << "替换扫描 1 张图像" << 0;
}

// A scan is one step, named after it: 撤销 puts back the list and the
// current page it started from, 重做 the scan's pages; a new change after
// 撤销 takes the scan's files away, never a page of the list.
void TestScanWorkflow::scanSteps()
{
    QFETCH(QString, action);
    QFETCH(QString, name);
    QFETCH(int, added);

    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=3")));
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(1);
    const QList<QString> before = m_fx->window->PageFiles();
    QVERIFY(Scan(action.toLatin1().constData(), QStringLiteral("sheets=2")));
    const QList<QString> after = m_fx->window->PageFiles();
    QCOMPARE(after.size(), before.size() + added);
    QVERIFY(after != before);

    auto* undo = m_fx->Child<QAction>("actionUndo");
    auto* redo = m_fx->Child<QAction>("actionRedo");
    QCOMPARE(undo->text(), QStringLiteral("撤销") + name);
    undo->trigger();
    QCOMPARE(m_fx->window->PageFiles(), before);
    QCOMPARE(m_fx->View()->GetCurrentPath(), before.at(1));
    QCOMPARE(redo->text(), QStringLiteral("重做") + name);
    redo->trigger();
    QCOMPARE(m_fx->window->PageFiles(), after);
    for (const QString& file : after)
        QVERIFY(QFileInfo::exists(file));

    undo->trigger();
    m_fx->Child<QAction>("actionMoveDown")->trigger();
    QVERIFY(!redo->isEnabled());
    for (const QString& file : after)
        QCOMPARE(QFileInfo::exists(file), before.contains(file));
}

// Files under the next numbers' names in the scan folder are left as they
// are; the pages take the next free numbers, and the job after them goes on
// from there. (Which names count as taken is tst_sanescan_sim's.)
void TestScanWorkflow::takenNamesPassedOver()
{
    // Names of the numbers after the first page's, relative to the next
    // number, and where the next three sheets then land.
    const QStringList planted{"0", "1.part", "3"};
    const QList<int> numbers{2, 4, 5};
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=1")));
    QCOMPARE(m_fx->window->PageFiles().size(), 1);
    const QString first = m_fx->window->PageFiles().first();
    const int next = m_fx->window->ScanNumber();
    // The first page's name with its number text replaced.
    const QString suffix = first.mid(first.lastIndexOf(QLatin1Char('.')));
    QString stem = first.left(first.size() - suffix.size());
    const int width = stem.size() - QString(stem).remove(QRegularExpression(QStringLiteral("\\d+$"))).size();
    stem.chop(width);
    QCOMPARE(stem + QString::number(next - 1).rightJustified(width, QLatin1Char('0')) + suffix, first);
    auto name = [&](int n) {
        return stem + QString::number(next + n).rightJustified(width, QLatin1Char('0')) + suffix;
    };

    QHash<QString, QByteArray> before;
    for (const QString& entry : planted) {
        const QString path =
            name(entry.section('.', 0, 0).toInt()) + (entry.endsWith(".part") ? ".part" : "");
        QFile file(path);
        QVERIFY(file.open(QIODevice::NewOnly));
        file.write("planted " + path.toUtf8());
        before.insert(path, "planted " + path.toUtf8());
    }
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=3")));
    QCOMPARE(m_fx->answerer.texts, QStringList());
    QList<QString> expected{first};
    for (int n : numbers)
        expected << name(n);
    QCOMPARE(m_fx->window->PageFiles(), expected);
    QCOMPARE(Markers(), QStringList({"1A", "1A", "2A", "3A"}));
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        QFile file(it.key());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), it.value());
    }
    // The next job's first page follows the last page's number.
    QCOMPARE(m_fx->window->ScanNumber(), next + numbers.last() + 1);
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=1")));
    QCOMPARE(m_fx->window->PageFiles().last(), name(numbers.last() + 1));
    for (const QString& path : before.keys())
        QFile::remove(path);
}

QTEST_MAIN(TestScanWorkflow)
#include "tst_scanworkflow.moc"
