#include "imageviewwidget.h"
#include "mainwindow.h"
#include "maskerdialog.h"
#include "sessioncheck.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QUrl>
#include <QtTest>

// The page actions and saves that run as background jobs, through the real
// window on the simulator: turning pages (files first, then the views, under
// the overlay; failures named), "清除全部", the save after a scan, and the
// "保存成功" box that opens the save folder.
class TestPageJobs : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void rotation_data();
    void rotation();
    void clearAll();
    void noPageChangeDuringAJob_data();
    void noPageChangeDuringAJob();
    void saveAfterScanIsAJob();
    void saveSuccessOpensFolder_data();
    void saveSuccessOpensFolder();

private:
    // A window with prefix "a", counter 12, the format given and `sheets`
    // pages scanned (markers 1A, 2A, ...).
    void Start(int sheets, int format = 6, bool saveAfterScan = false);
    bool Scan(int sheets);
    // The overlay's message while it shows, else empty.
    QString Overlay() const;
    QStringList Readings() const;
    qint64 ThumbKey(int row) const;
    qint64 LargeKey() const;
    QString Out() const { return m_fx->home->path() + QStringLiteral("/out"); }

    QScopedPointer<WindowFixture> m_fx;
};

namespace {
const int kDpi = 50;
} // namespace

void TestPageJobs::cleanup()
{
    m_fx.reset();
}

void TestPageJobs::Start(int sheets, int format, bool saveAfterScan)
{
    m_fx.reset(new WindowFixture);
    {
        QSettings ini(m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                      QSettings::IniFormat);
        ini.setValue(QStringLiteral("Scanner/FilePath"), Out());
        ini.setValue(QStringLiteral("Scanner/Prefix"), QStringLiteral("a"));
        ini.setValue(QStringLiteral("Scanner/ScanCount"), QStringLiteral("12"));
        ini.setValue(QStringLiteral("Scanner/FileFormat"), QString::number(format));
        ini.setValue(QStringLiteral("Scanner/SaveAfterScan"),
                     saveAfterScan ? QStringLiteral("2") : QStringLiteral("0"));
    }
    WindowFixture::WriteScenario(QStringLiteral("sheets=0\nsource=Adf-front"));
    QVERIFY(m_fx->Start());
    m_fx->SetResolution(kDpi);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    if (sheets > 0) {
        QVERIFY(Scan(sheets));
    }
}

bool TestPageJobs::Scan(int sheets)
{
    static int load = 0;
    WindowFixture::WriteScenario(
        QStringLiteral("sheets=%1\nsource=Adf-front\nload=%2").arg(sheets).arg(++load));
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    return m_fx->WaitIdle();
}

QString TestPageJobs::Overlay() const
{
    auto* masker = m_fx->window->findChild<MaskerDialog*>();
    return masker && masker->isVisible() ? masker->Msg() : QString();
}

QStringList TestPageJobs::Readings() const
{
    QStringList readings;
    for (const QString& page : m_fx->window->PageFiles()) {
        readings << SessionCheck::Reading(QImage(page), kDpi);
    }
    return readings;
}

qint64 TestPageJobs::ThumbKey(int row) const
{
    auto* list = m_fx->Child<QListWidget>("lwImgThumbnail");
    auto* label = list->itemWidget(list->item(row))->findChild<QLabel*>(QStringLiteral("lblImage"));
    return label->pixmap(Qt::ReturnByValue).cacheKey();
}

qint64 TestPageJobs::LargeKey() const
{
    return m_fx->Child<QLabel>("largeLabel")->pixmap(Qt::ReturnByValue).cacheKey();
}

void TestPageJobs::rotation_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("files");        // per page: '-' kept, 'd' damaged, 'm' removed first
    QTest::addColumn<QStringList>("readings"); // afterwards ("" for a damaged or removed page)
    QTest::addColumn<QString>("message");      // the failure box, or empty

    QTest::newRow("right, the current page among them")
        << "actionRotateRight" << QList<int>{0, 2} << 2 << "----" << QStringList{"1A@90", "2A", "3A@90", "4A"}
        << "";
    QTest::newRow("left, the current page not among them")
        << "actionRotateLeft" << QList<int>{1, 3} << 0 << "----"
        << QStringList{"1A", "2A@270", "3A", "4A@270"} << "";
    QTest::newRow("180, all") << "actionRotate180" << QList<int>{0, 1, 2, 3} << 1 << "----"
                              << QStringList{"1A@180", "2A@180", "3A@180", "4A@180"} << "";
    QTest::newRow("a damaged and a removed page")
        << "actionRotateRight" << QList<int>{0, 1, 2} << 0 << "-dm-" << QStringList{"1A@90", "", "", "4A"}
        << "保存失败\n第2页图像文件已损坏，无法读取\n第3页图像文件不存在，无法读取";
}

// The files are turned on the job thread under the overlay; the thumbnails
// and the large view follow only once every file is turned, still under the
// overlay; a page that cannot be turned keeps its file and is named.
void TestPageJobs::rotation()
{
    QFETCH(QString, action);
    QFETCH(QList<int>, selected);
    QFETCH(int, current);
    QFETCH(QString, files);
    QFETCH(QStringList, readings);
    QFETCH(QString, message);

    Start(4);
    const QList<QString> pages = m_fx->window->PageFiles();
    QCOMPARE(pages.size(), 4);
    for (int i = 0; i < pages.size(); ++i) {
        if (files.at(i) == QLatin1Char('d')) {
            QFile damaged(pages.at(i));
            QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
            damaged.write(QByteArray(300, 'x'));
        } else if (files.at(i) == QLatin1Char('m')) {
            QVERIFY(QFile::remove(pages.at(i)));
        }
    }
    m_fx->View()->SetSelection(current);
    auto* list = m_fx->Child<QListWidget>("lwImgThumbnail");
    list->clearSelection();
    for (int row : selected) {
        list->item(row)->setSelected(true);
    }
    QList<QByteArray> bytes;
    QList<qint64> thumbs;
    for (int i = 0; i < pages.size(); ++i) {
        bytes << SessionCheck::Bytes(pages.at(i));
        thumbs << ThumbKey(i);
    }
    const qint64 large = LargeKey();
    QStringList atLargeView;
    QString overlayAtLargeView;
    connect(m_fx->View(), &ImageViewWidget::sglLargeImageCannotZoom, this, [&] {
        atLargeView = Readings();
        overlayAtLargeView = Overlay();
    });

    m_fx->Child<QAction>(qPrintable(action))->trigger();
    QVERIFY(m_fx->window->JobRunning());
    QCOMPARE(Overlay(), QStringLiteral("正在旋转图像..."));
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(Overlay(), QString());

    const QStringList after = Readings();
    for (int i = 0; i < pages.size(); ++i) {
        const bool turned = selected.contains(i) && files.at(i) == QLatin1Char('-');
        if (files.at(i) == QLatin1Char('-')) {
            QCOMPARE(after.at(i), readings.at(i));
        }
        QCOMPARE(SessionCheck::Bytes(pages.at(i)) == bytes.at(i), !turned);
        QCOMPARE(QFileInfo::exists(pages.at(i)), files.at(i) != QLatin1Char('m'));
        QCOMPARE(ThumbKey(i) != thumbs.at(i), turned);
    }
    if (selected.contains(current) && files.at(current) == QLatin1Char('-')) {
        QVERIFY(LargeKey() != large);
        QCOMPARE(atLargeView, after);
        QCOMPARE(overlayAtLargeView, QStringLiteral("正在旋转图像..."));
    } else {
        QCOMPARE(LargeKey(), large);
        QVERIFY(atLargeView.isEmpty());
    }
    QCOMPARE(m_fx->answerer.texts, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(m_fx->window->PageFiles(), pages);
}

// "清除全部": the list and the journal empty at once, the files go under the
// overlay.
void TestPageJobs::clearAll()
{
    Start(3);
    const QString journal = m_fx->window->WorkDir() + QStringLiteral("/session.json");
    QVERIFY(QFile::exists(journal));

    m_fx->Child<QAction>("actionBroom")->trigger();
    QCOMPARE(m_fx->answerer.texts, QStringList{QStringLiteral("是否清除全部图像？")});
    QVERIFY(m_fx->window->PageFiles().isEmpty());
    QVERIFY(m_fx->JumpItems().isEmpty());
    QVERIFY(!QFile::exists(journal));
    QVERIFY(m_fx->window->JobRunning());
    QCOMPARE(Overlay(), QStringLiteral("正在清除图像..."));
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(Overlay(), QString());
    QStringList left;
    QDirIterator it(m_fx->window->WorkDir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        left << it.next();
    }
    QCOMPARE(left, QStringList());
}

void TestPageJobs::noPageChangeDuringAJob_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("删除") << "actionDelete";
    QTest::newRow("清除全部") << "actionBroom";
}

// While the files are being turned, deleting or clearing pages (a shortcut
// reaches the action past the overlay) is refused without a question.
void TestPageJobs::noPageChangeDuringAJob()
{
    QFETCH(QString, action);

    Start(3);
    const QList<QString> pages = m_fx->window->PageFiles();
    m_fx->Child<QAction>("actionSelectAll")->trigger();
    m_fx->answerer.SetAnswer(QMessageBox::Yes);
    m_fx->Child<QAction>("actionRotateRight")->trigger();
    QVERIFY(m_fx->window->JobRunning());
    m_fx->Child<QAction>(qPrintable(action))->trigger();
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(m_fx->answerer.texts, QStringList());
    QCOMPARE(m_fx->window->PageFiles(), pages);
    QCOMPARE(Readings(), (QStringList{"1A@90", "2A@90", "3A@90"}));
}

// With "扫描完立即保存" on, the scan's last step starts the save as a job of
// its own, under the overlay; the status area then says what it wrote.
void TestPageJobs::saveAfterScanIsAJob()
{
    Start(0, 1, true);
    bool saving = false;
    QString overlay;
    int jobs = 0;
    connect(m_fx->window.data(), &MainWindow::sglJobDone, this, [&] {
        if (++jobs == 1) {
            saving = m_fx->window->JobRunning();
            overlay = Overlay();
        }
    });
    QVERIFY(Scan(3));
    QCOMPARE(jobs, 2);
    QVERIFY(saving);
    QCOMPARE(overlay, QStringLiteral("正在进行保存..."));
    QCOMPARE(QDir(Out()).entryList(QDir::Files), QStringList{QStringLiteral("a0012.tiff")});
    QCOMPARE(SessionCheck::ReadTiff(Out() + QStringLiteral("/a0012.tiff")).size(), 3);
    QVERIFY(m_fx->window->PageFiles().isEmpty());
    QVERIFY(m_fx->answerer.texts.isEmpty());
    QCOMPARE(m_fx->LabelText("lblSaveNote"), QStringLiteral("已保存 a0012.tiff（3 页）"));
}

void TestPageJobs::saveSuccessOpensFolder_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("opens");

    QTest::newRow("打开文件夹") << "打开文件夹" << true;
    QTest::newRow("确定") << "" << false;
}

// The box after "保存" names the folder and offers to open it.
void TestPageJobs::saveSuccessOpensFolder()
{
    QFETCH(QString, button);
    QFETCH(bool, opens);

    Start(2);
    QList<QUrl> opened;
    m_fx->window->SetFolderOpener([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    m_fx->answerer.SetButtonText(button);
    m_fx->Child<QAction>("actionSave")->trigger();
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(m_fx->answerer.texts, QStringList{QStringLiteral("保存成功\n已写入 1 个文件到 %1").arg(Out())});
    QCOMPARE(m_fx->answerer.buttonTexts.contains(QStringLiteral("打开文件夹")), true);
    QCOMPARE(opened, opens ? QList<QUrl>{QUrl::fromLocalFile(Out())} : QList<QUrl>());
}

QTEST_MAIN(TestPageJobs)
#include "tst_pagejobs.moc"
