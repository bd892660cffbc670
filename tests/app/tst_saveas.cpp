// "另存为…" on the simulated feeder: the file dialog's name and format decide
// the files, which read back as the scanned pages in order; the pages stay
// and the counter of "保存" is not touched; a failure keeps the pages; the
// folder, format and a name are offered in the next window. Enter on any
// question whose 是 destroys the user's file or pages keeps them.
#include "mainwindow.h"
#include "pageturn.h"
#include "sessioncheck.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>

#include <unistd.h>

namespace {
const char* const kExt[] = {"tiff", "tiff", "pnm", "jpg", "png", "pdf", "pdf", "ofd", "ofd"};
const int kDpi = 75;

// The pages of a saved file, read back with the system's tools.
QList<QImage> ReadBack(const QString& file, const QString& work)
{
    const QString suffix = QFileInfo(file).suffix();
    if (suffix == QLatin1String("pdf")) {
        return SessionCheck::RenderPdf(file, kDpi, work);
    }
    if (suffix == QLatin1String("ofd")) {
        // Each image as its page draws it: turned by the page's CTM.
        QList<QImage> pages;
        const QString dir = work + QStringLiteral("/unpacked");
        const QStringList media = SessionCheck::OfdPageMedia(file, dir);
        for (int i = 0; i < media.size(); ++i) {
            const QString content = QStringLiteral("%1/Doc_0/Pages/Page_%2/Content.xml").arg(dir).arg(i);
            const QStringList ctm = SessionCheck::XPath(content, QStringLiteral("string(//@CTM)")).split(' ');
            const double a = ctm.value(0).toDouble();
            const double b = ctm.value(1).toDouble();
            const int angle = a < 0 ? 180 : a > 0 ? 0 : b > 0 ? 90 : 270;
            pages << TurnImage(QImage(media.at(i)), angle);
        }
        return pages;
    }
    if (suffix == QLatin1String("tiff")) {
        return SessionCheck::ReadTiff(file);
    }
    return {QImage(file)};
}
} // namespace

class TestSaveAs : public QObject {
    Q_OBJECT

private slots:
    void saveAs_data();
    void saveAs();
    void failureKeepsPages_data();
    void failureKeepsPages();
    void remembered_data();
    void remembered();
    void enterKeeps_data();
    void enterKeeps();

private:
    // A started window with `sheets` scanned pages, its settings file
    // seeded from `ini` (entries "Group/Key" -> value).
    bool StartWithPages(int sheets, const QMap<QString, QString>& ini = {});
    QString Stored(const QString& key) const
    {
        return QSettings(m_fx->window->ConfigFilePath(), QSettings::IniFormat).value(key).toString();
    }

    QScopedPointer<WindowFixture> m_fx;
};

bool TestSaveAs::StartWithPages(int sheets, const QMap<QString, QString>& ini)
{
    m_fx.reset(new WindowFixture);
    QMap<QString, QString> entries{
        {QStringLiteral("Scanner/FilePath"), m_fx->home->path() + QStringLiteral("/out")},
        {QStringLiteral("Scanner/Prefix"), QStringLiteral("a")},
        {QStringLiteral("Scanner/ScanCount"), QStringLiteral("8")}};
    entries.insert(ini);
    m_fx->Configure(entries);
    QDir().mkpath(m_fx->home->path() + QStringLiteral("/out"));
    WindowFixture::WriteScenario(QStringLiteral("sheets=0\nsource=Adf-front"));
    if (!m_fx->Start()) {
        return false;
    }
    m_fx->SetResolution(kDpi);
    m_fx->SetPanelCombo("cmMode", QStringLiteral("Color"));
    WindowFixture::WriteScenario(QStringLiteral("sheets=%1\nsource=Adf-front").arg(sheets));
    m_fx->jobsDone = 0;
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    return m_fx->WaitIdle() && m_fx->window->PageFiles().size() == sheets;
}

void TestSaveAs::saveAs_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("name");      // typed into the dialog
    QTest::addColumn<QStringList>("files"); // what is written, in page order

    const QStringList pages = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    for (int format = 0; format < 9; ++format) {
        const bool multi = format == 1 || format == 6 || format == 8;
        QStringList files;
        if (multi) {
            files << QStringLiteral("报告.%1").arg(kExt[format]);
        } else {
            for (const QString& page : pages) {
                files << QStringLiteral("报告_%1.%2").arg(page, kExt[format]);
            }
        }
        // The extension is added when the name lacks it.
        QTest::addRow("format %d", format) << format << QStringLiteral("报告") << files;
    }
    // A name that carries the extension keeps it, once.
    QTest::newRow("PDF named with extension") << 6 << QStringLiteral("x.pdf") << QStringList{"x.pdf"};
    QTest::newRow("PNG named with extension")
        << 4 << QStringLiteral("x.png") << QStringList{"x_1.png", "x_2.png", "x_3.png"};
}

// Every format writes the three pages, in order, under the chosen name,
// each turned as it is shown (the first turned left, the second turned four
// quarters back upright, which a raster file keeps pixel for pixel); the box
// names the files; the counter and the pages stay.
void TestSaveAs::saveAs()
{
    QFETCH(int, format);
    QFETCH(QString, name);
    QFETCH(QStringList, files);

    QVERIFY(StartWithPages(3));
    auto turn = [this](int row, const QList<const char*>& actions) {
        m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(row);
        for (const char* action : actions) {
            m_fx->Child<QAction>(action)->trigger();
        }
    };
    const QImage scanned = QImage(m_fx->window->PageFiles().at(1));
    QVERIFY(!scanned.isNull());
    turn(0, {"actionRotateLeft"});
    turn(1, {"actionRotateRight", "actionRotate180", "actionRotateRight"});
    const QString folder = m_fx->home->path() + QStringLiteral("/chosen");
    QVERIFY(QDir().mkpath(folder));
    const QList<Page> pages = m_fx->window->Pages()->Pages();
    QVERIFY(m_fx->SaveAs(folder + QLatin1Char('/') + name, format));
    QVERIFY(m_fx->WaitIdle());
    QTRY_VERIFY(!m_fx->answerer.texts.isEmpty());
    const QString named = files.size() == 1
                              ? QStringLiteral("%1（3 页）").arg(files.first())
                              : QStringLiteral("%1 至 %2（3 页）").arg(files.first(), files.last());
    QCOMPARE(m_fx->answerer.texts.last(),
             QStringLiteral("保存成功\n已保存 %1\n保存位置：%2").arg(named, folder));

    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), files);
    QStringList readings;
    const QString work = m_fx->tmp->path() + QStringLiteral("/readback");
    QVERIFY(QDir().mkpath(work));
    for (const QString& file : files) {
        for (const QImage& page : ReadBack(folder + QLatin1Char('/') + file, work)) {
            readings << SessionCheck::Reading(page, kDpi);
        }
    }
    QCOMPARE(readings, QStringList({"1A@270", "2A", "3A"}));
    // Formats that keep the scanned pixels (a TIFF recompresses every page).
    const QString suffix = QFileInfo(files.first()).suffix();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("png") || suffix == QLatin1String("pnm")) {
        const QImage saved = ReadBack(folder + QLatin1Char('/') + files.at(1), work).value(0);
        QCOMPARE(saved.convertToFormat(scanned.format()), scanned);
    }
    // A copy: the pages, their files and turns, and the steps of 撤销 stay.
    QCOMPARE(m_fx->window->Pages()->Pages(), pages);
    for (const Page& page : pages) {
        QVERIFY(QFileInfo::exists(page.path));
    }
    QVERIFY(m_fx->Child<QAction>("actionUndo")->isEnabled());
    // Neither the counter nor the save folder of "保存" took part.
    QCOMPARE(m_fx->window->Counter(), 8);
    QCOMPARE(Stored(QStringLiteral("Scanner/ScanCount")), QStringLiteral("8"));
    QVERIFY(QDir(m_fx->home->path() + QStringLiteral("/out")).entryList(QDir::Files).isEmpty());
    QCOMPARE(Stored(QStringLiteral("Scanner/SaveAsPath")), folder);
    QCOMPARE(Stored(QStringLiteral("Scanner/SaveAsFormat")), QString::number(format));
}

void TestSaveAs::failureKeepsPages_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("a folder has the name") << "folder";
}

// Nothing can be written: "保存失败", and the pages, their files and the
// counter stay.
void TestSaveAs::failureKeepsPages()
{
    QFETCH(QString, fault);
    if (fault == "read-only" && ::geteuid() == 0) {
        QSKIP("the superuser writes into read-only folders");
    }
    QVERIFY(StartWithPages(2));
    const QList<QString> pages = m_fx->window->PageFiles();
    const QString folder = m_fx->home->path() + QStringLiteral("/locked");
    QVERIFY(QDir().mkpath(folder));
    if (fault == "folder") {
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/scan.pdf/keep")));
    } else {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QVERIFY(m_fx->SaveAs(folder + QStringLiteral("/scan"), 6));
    QVERIFY(m_fx->WaitIdle());
    QTRY_VERIFY(!m_fx->answerer.texts.isEmpty());
    QVERIFY2(m_fx->answerer.texts.last().startsWith(QStringLiteral("保存失败")),
             qPrintable(m_fx->answerer.texts.last()));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    QCOMPARE(m_fx->window->PageFiles(), pages);
    for (const QString& page : pages) {
        QVERIFY(QFileInfo::exists(page));
    }
    QCOMPARE(m_fx->window->Counter(), 8);
    QVERIFY(m_fx->Child<QAction>("actionSaveAs")->isEnabled());
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void TestSaveAs::remembered_data()
{
    QTest::addColumn<QString>("storedFolder"); // "<home>" is the home folder
    QTest::addColumn<QString>("storedFormat");
    QTest::addColumn<QString>("folder"); // what the dialog offers
    QTest::addColumn<int>("filter");
    // The name offered: prefix "a" and counter 8, or, where the second window
    // has no prefix, "扫描文档" and the date.
    QTest::addColumn<QString>("name");

    const QString other = QStringLiteral("<home>/other");
    const QString a = QStringLiteral("a0008");
    // The save format of "保存" is 3 (JPEG) in every row.
    QTest::newRow("both remembered") << other << "6" << other << 6 << a;
    QTest::newRow("none stored, no prefix") << ""
                                            << ""
                                            << "<home>/out" << 3 << "扫描文档_<date>";
    QTest::newRow("folder gone") << "<home>/gone"
                                 << "8"
                                 << "<home>/out" << 8 << a;
    QTest::newRow("folder is a file") << "<home>/file"
                                      << "1"
                                      << "<home>/out" << 1 << a;
    QTest::newRow("format beyond the list") << other << "9" << other << 3 << a;
    QTest::newRow("format negative") << other << "-1" << other << 3 << a;
    QTest::newRow("format not a number") << other << "pdf" << other << 3 << a;
}

// A second window offers what the first one used last, unless the stored
// values cannot be used.
void TestSaveAs::remembered()
{
    QFETCH(QString, storedFolder);
    QFETCH(QString, storedFormat);
    QFETCH(QString, folder);
    QFETCH(int, filter);
    QFETCH(QString, name);

    // The first window's save-as writes the values...
    QVERIFY(StartWithPages(1, {{QStringLiteral("Scanner/FileFormat"), QStringLiteral("3")}}));
    const QString home = m_fx->home->path();
    storedFolder.replace(QStringLiteral("<home>"), home);
    folder.replace(QStringLiteral("<home>"), home);
    QVERIFY(QDir().mkpath(home + QStringLiteral("/other")));
    QVERIFY(QDir().mkpath(home + QStringLiteral("/out")));
    QFile(home + QStringLiteral("/file")).open(QIODevice::WriteOnly);
    QVERIFY(m_fx->SaveAs(home + QStringLiteral("/other/first"), 6));
    QVERIFY(m_fx->WaitIdle());
    QCOMPARE(Stored(QStringLiteral("Scanner/SaveAsFormat")), QStringLiteral("6"));
    const QString ini = m_fx->SettingsFile();
    QFile::remove(ini + QStringLiteral(".kept"));
    QVERIFY(QFile::copy(ini, ini + QStringLiteral(".kept")));

    // ...which the next window reads (here as stored, or replaced by the row).
    QMap<QString, QString> next;
    {
        QSettings kept(ini + QStringLiteral(".kept"), QSettings::IniFormat);
        for (const QString& key : kept.allKeys()) {
            next[key] = kept.value(key).toString();
        }
    }
    next.remove(QStringLiteral("Scanner/FilePath"));
    if (QTest::currentDataTag() != QByteArray("both remembered")) {
        next[QStringLiteral("Scanner/SaveAsPath")] = storedFolder;
        next[QStringLiteral("Scanner/SaveAsFormat")] = storedFormat;
    }
    if (name.contains(QStringLiteral("<date>"))) {
        next[QStringLiteral("Scanner/Prefix")] = QString();
    }
    QScopedPointer<WindowFixture> first(m_fx.take());
    QVERIFY(StartWithPages(1, next));
    // The second window has a home of its own: its folders are the first's.
    WindowFixture::SaveAsOffer offered;
    QVERIFY(m_fx->SaveAs(QString(), 0, &offered));
    const QString secondHome = m_fx->home->path();
    if (folder == home + QStringLiteral("/out")) {
        QCOMPARE(offered.folder, secondHome + QStringLiteral("/out"));
    } else {
        QCOMPARE(offered.folder, folder);
    }
    QCOMPARE(offered.filter, filter);
    name.replace(QStringLiteral("<date>"), QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    QCOMPARE(offered.name, name);
    QCOMPARE(m_fx->window->PageFiles().size(), 1);
}

void TestSaveAs::enterKeeps_data()
{
    QTest::addColumn<QString>("step"); // an action, "save as" or "close"
    QTest::addColumn<QString>("question");
    QTest::newRow("保存 over a file") << "actionSave"
                                      << "保存路径有重复文件";
    QTest::newRow("另存为 over a file") << "save as"
                                        << "保存路径有重复文件";
    QTest::newRow("删除") << "actionDelete"
                          << "是否删除选中的 2 张图像？";
    QTest::newRow("清除全部") << "actionBroom"
                              << "是否清除全部 2 张图像？";
    QTest::newRow("退出 with pages") << "close"
                                     << "扫描图像未保存，确定要退出吗？";
}

// Enter on a question whose 是 would destroy something of the user's
// answers 否: the user's file keeps its bytes, the pages and their files
// stay, and the window stays open.
void TestSaveAs::enterKeeps()
{
    QFETCH(QString, step);
    QFETCH(QString, question);
    QVERIFY(StartWithPages(2, {{QStringLiteral("Scanner/FileFormat"), QStringLiteral("6")}}));
    const QList<QString> pages = m_fx->window->PageFiles();
    // The file "保存" would write first, and one chosen in "另存为…".
    const QString mine = m_fx->home->path() + QStringLiteral("/out/a0008.pdf");
    QFile file(mine);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("mine") == 4);
    file.close();
    m_fx->Child<QAction>("actionSelectAll")->trigger();
    m_fx->answerer.SetKey(Qt::Key_Return);
    if (step == QLatin1String("save as")) {
        QVERIFY(m_fx->SaveAs(mine, 6));
    } else if (step == QLatin1String("close")) {
        QVERIFY(!m_fx->window->close());
    } else {
        m_fx->Child<QAction>(qPrintable(step))->trigger();
    }
    QTRY_VERIFY(!m_fx->window || !m_fx->window->JobRunning());
    QVERIFY(m_fx->window);
    QVERIFY(!m_fx->answerer.texts.isEmpty());
    QVERIFY2(m_fx->answerer.texts.first().startsWith(question), qPrintable(m_fx->answerer.texts.first()));
    QCOMPARE(SessionCheck::Bytes(mine), QByteArray("mine"));
    QCOMPARE(m_fx->window->PageFiles(), pages);
    for (const QString& page : pages) {
        QVERIFY(QFileInfo::exists(page));
    }
}

QTEST_MAIN(TestSaveAs)
#include "tst_saveas.moc"
