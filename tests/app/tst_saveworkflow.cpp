#include "imageviewwidget.h"
#include "mainwindow.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QtTest>

#include <unistd.h>

// Saving the scanned pages in each format, the overwrite question, failed
// saves that keep everything, and saving right after a scan.
class TestSaveWorkflow : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void formats_data();
    void formats();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void failedSaveKeepsPages_data();
    void failedSaveKeepsPages();
    void saveAfterScan_data();
    void saveAfterScan();
    void emptyMultiFileSave();

private:
    // Starts the window with prefix "a", counter 12, 4 digits, the format and
    // save-after-scan given, the save folder <home>/out.
    void StartWith(int format, bool saveAfterScan = false);
    bool ScanSheets(int sheets);
    bool SaveByAction();
    QStringList SavedFiles() const;
    QString StoredCounter() const;
    QStringList FilesUnder(const QString& dir) const;
    QString Out() const { return m_fx->home->path() + QStringLiteral("/out"); }
    // The text of the box after a successful save of `files` files.
    QString Saved(int files) const
    {
        return QStringLiteral("保存成功\n已写入 %1 个文件到 %2").arg(files).arg(Out());
    }

    QScopedPointer<WindowFixture> m_fx;
};

void TestSaveWorkflow::cleanup()
{
    m_fx.reset();
}

void TestSaveWorkflow::StartWith(int format, bool saveAfterScan)
{
    m_fx.reset(new WindowFixture);
    {
        QSettings ini(m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                      QSettings::IniFormat);
        ini.setValue(QStringLiteral("Scanner/FilePath"), Out());
        ini.setValue(QStringLiteral("Scanner/Prefix"), QStringLiteral("a"));
        ini.setValue(QStringLiteral("Scanner/ScanCount"), QStringLiteral("12"));
        ini.setValue(QStringLiteral("Scanner/ScanMinCountSize"), QStringLiteral("4"));
        ini.setValue(QStringLiteral("Scanner/FileFormat"), QString::number(format));
        ini.setValue(QStringLiteral("Scanner/SaveAfterScan"),
                     saveAfterScan ? QStringLiteral("2") : QStringLiteral("0"));
    }
    WindowFixture::WriteScenario(QStringLiteral("sheets=0\nsource=Adf-front"));
    QVERIFY(m_fx->Start());
    m_fx->SetResolution(75);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QCOMPARE(m_fx->Child<QComboBox>("cmImageFormat")->currentIndex(), format);
}

bool TestSaveWorkflow::ScanSheets(int sheets)
{
    static int load = 0;
    WindowFixture::WriteScenario(
        QStringLiteral("sheets=%1\nsource=Adf-front\nload=%2").arg(sheets).arg(++load));
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    return m_fx->WaitIdle();
}

bool TestSaveWorkflow::SaveByAction()
{
    m_fx->Child<QAction>("actionSave")->trigger();
    return m_fx->WaitJobDone();
}

QStringList TestSaveWorkflow::SavedFiles() const
{
    return QDir(Out()).entryList(QDir::Files, QDir::Name);
}

QString TestSaveWorkflow::StoredCounter() const
{
    QSettings ini(m_fx->window->ConfigFilePath(), QSettings::IniFormat);
    return ini.value(QStringLiteral("Scanner/ScanCount")).toString();
}

QStringList TestSaveWorkflow::FilesUnder(const QString& dir) const
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next();
    }
    return files;
}

void TestSaveWorkflow::formats_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("lastProgress");

    const QStringList numbers = {"0012", "0013", "0014", "0015", "0016"};
    auto names = [&numbers](const char* ext) {
        QStringList list;
        for (const QString& n : numbers) {
            list << QStringLiteral("a%1.%2").arg(n, QLatin1String(ext));
        }
        return list;
    };
    QTest::newRow("TIFF") << 0 << names("tiff") << 17 << "正在保存第5个TIFF文件";
    QTest::newRow("multi-page TIFF") << 1 << QStringList({"a0012.tiff"}) << 13 << "正在保存第1个TIFF文件";
    QTest::newRow("PNM") << 2 << names("pnm") << 17 << "正在保存第5个PNM文件";
    QTest::newRow("JPEG") << 3 << names("jpg") << 17 << "正在保存第5个JPG文件";
    QTest::newRow("PNG") << 4 << names("png") << 17 << "正在保存第5个PNG文件";
    QTest::newRow("single-page PDF") << 5 << names("pdf") << 17 << "正在保存第5个PDF文件";
    QTest::newRow("PDF") << 6 << QStringList({"a0012.pdf"}) << 13 << "正在保存第1个PDF文件";
    QTest::newRow("single-page OFD") << 7 << names("ofd") << 17 << "正在保存第5个OFD文件";
    QTest::newRow("OFD") << 8 << QStringList({"a0012.ofd"}) << 13 << "正在保存第1个OFD文件";
}

void TestSaveWorkflow::formats()
{
    QFETCH(int, format);
    QFETCH(QStringList, files);
    QFETCH(int, counter);
    QFETCH(QString, lastProgress);

    StartWith(format);
    QVERIFY(ScanSheets(5));
    QCOMPARE(m_fx->window->PageFiles().size(), 5);
    QStringList progress;
    connect(m_fx->window.data(), &MainWindow::sglUpdateMaskerMessage, this,
            [&progress](const QString& text) { progress << text; });

    QVERIFY(SaveByAction());
    QCOMPARE(SavedFiles(), files);
    for (const QString& name : files) {
        QFile file(Out() + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(4);
        if (name.endsWith(QLatin1String(".pdf"))) {
            QCOMPARE(head, QByteArray("%PDF"));
        } else if (name.endsWith(QLatin1String(".ofd"))) {
            QCOMPARE(head.left(2), QByteArray("PK"));
        } else {
            QImageReader reader(file.fileName());
            QVERIFY2(reader.canRead(), qPrintable(name));
            QCOMPARE(reader.imageCount() > 1 || format != 1, true);
        }
    }
    QCOMPARE(progress.size(), files.size());
    QCOMPARE(progress.last(), lastProgress);
    QCOMPARE(m_fx->window->Counter(), counter);
    QCOMPARE(StoredCounter(), QString::number(counter));
    QCOMPARE(m_fx->Child<QLineEdit>("txtSysScanCount")->text(), QString::number(counter));
    QCOMPARE(m_fx->answerer.texts, QStringList({Saved(files.size())}));

    // The pages and their files are gone; the work folder keeps its folders.
    QVERIFY(m_fx->window->PageFiles().isEmpty());
    QVERIFY(m_fx->View()->GetPagePaths().isEmpty());
    QVERIFY(m_fx->JumpItems().isEmpty());
    QCOMPARE(m_fx->LabelText("lblImgInfo"), QStringLiteral("当前图像数量：0"));
    QVERIFY(!m_fx->Child<QAction>("actionSave")->isEnabled());
    QCOMPARE(FilesUnder(m_fx->window->WorkDir()), QStringList());
    QVERIFY(QFileInfo(m_fx->ScanDir()).isDir());

    // The next scan does not reuse the page-file names of the first one.
    QVERIFY(ScanSheets(1));
    QCOMPARE(QFileInfo(m_fx->window->PageFiles().value(0)).baseName(), QStringLiteral("a0006"));
}

void TestSaveWorkflow::overwriteQuestion_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("existing"); // created in the save folder; "-" for no folder
    QTest::addColumn<QString>("listed");   // under the question; empty: not asked

    QTest::newRow("single pages, a0014.pdf there") << 5 << "a0014.pdf"
                                                   << "a0014.pdf";
    QTest::newRow("single pages, a0017.pdf there") << 5 << "a0017.pdf"
                                                   << "";
    QTest::newRow("single pages, four there, three named")
        << 5 << "a0016.pdf,a0013.pdf,a0014.pdf,a0015.pdf"
        << "a0013.pdf\r\na0014.pdf\r\na0015.pdf\r\n等 4 个文件";
    QTest::newRow("multi-page, a0014.pdf there") << 6 << "a0014.pdf"
                                                 << "";
    QTest::newRow("multi-page, a0012.pdf there") << 6 << "a0012.pdf"
                                                 << "a0012.pdf";
    QTest::newRow("no save folder") << 5 << "-"
                                    << "";
    QTest::newRow("only sub-folders") << 6 << "sub/"
                                      << "";
}

void TestSaveWorkflow::overwriteQuestion()
{
    QFETCH(int, format);
    QFETCH(QString, existing);
    QFETCH(QString, listed);
    const bool asks = !listed.isEmpty();

    StartWith(format);
    QVERIFY(ScanSheets(5));
    QDir(Out()).removeRecursively();
    if (existing.endsWith(QLatin1Char('/'))) {
        QVERIFY(QDir().mkpath(Out() + QLatin1Char('/') + existing));
    } else if (existing != QLatin1String("-")) {
        QVERIFY(QDir().mkpath(Out()));
        for (const QString& name : existing.split(QLatin1Char(','))) {
            QFile file(Out() + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old");
        }
    }
    const QStringList before = SavedFiles();

    m_fx->answerer.SetAnswer(QMessageBox::No);
    m_fx->Child<QAction>("actionSave")->trigger();
    if (asks) {
        QTRY_COMPARE(m_fx->answerer.texts,
                     QStringList({"保存路径有重复文件，\r\n确定要覆盖吗？\r\n" + listed}));
        QTest::qWait(100);
        QCOMPARE(SavedFiles(), before);
        QCOMPARE(m_fx->window->PageFiles().size(), 5);
        QCOMPARE(m_fx->window->Counter(), 12);
        QCOMPARE(StoredCounter(), QStringLiteral("12"));
    } else {
        QVERIFY(m_fx->WaitJobDone());
        QCOMPARE(m_fx->answerer.texts, QStringList({Saved(format == 6 ? 1 : 5)}));
        QVERIFY(m_fx->window->PageFiles().isEmpty());
    }
}

void TestSaveWorkflow::failedSaveKeepsPages_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("obstacle"); // folder made where a target goes
    QTest::addColumn<int>("removedPage");  // page file deleted before saving, or -1
    QTest::addColumn<QString>("message");  // of the box; %1: the save folder
    QTest::addColumn<bool>("readOnly");

    QTest::newRow("third single page blocked")
        << 5 << "a0014.pdf" << -1 << "保存失败\n已有同名文件夹：%1/a0014.pdf" << false;
    QTest::newRow("multi-page target blocked")
        << 6 << "a0012.pdf" << -1 << "保存失败\n已有同名文件夹：%1/a0012.pdf" << false;
    QTest::newRow("page file removed, TIFF")
        << 0 << "" << 3 << "第4页扫描未完成，请替换扫描或删除该页后再保存" << false;
    QTest::newRow("page file removed, OFD")
        << 8 << "" << 0 << "第1页扫描未完成，请替换扫描或删除该页后再保存" << false;
    QTest::newRow("read-only folder") << 3 << "" << -1 << "保存失败\n没有写入权限：%1/a0012.jpg" << true;
}

void TestSaveWorkflow::failedSaveKeepsPages()
{
    QFETCH(int, format);
    QFETCH(QString, obstacle);
    QFETCH(int, removedPage);
    QFETCH(QString, message);
    QFETCH(bool, readOnly);

    if (readOnly && geteuid() == 0) {
        QSKIP("permission bits do not stop root");
    }
    StartWith(format);
    QVERIFY(ScanSheets(5));
    const QList<QString> pages = m_fx->window->PageFiles();
    QVERIFY(QDir().mkpath(Out()));
    if (!obstacle.isEmpty()) {
        QVERIFY(QDir().mkpath(Out() + QLatin1Char('/') + obstacle + QStringLiteral("/keep")));
    }
    if (removedPage >= 0) {
        QVERIFY(QFile::remove(pages.at(removedPage)));
    }
    if (readOnly) {
        QVERIFY(QFile::setPermissions(Out(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const QStringList before = SavedFiles();

    m_fx->Child<QAction>("actionSave")->trigger();
    if (removedPage < 0) {
        QVERIFY(m_fx->WaitJobDone());
    } else {
        // Refused before any job starts.
        QTRY_VERIFY(!m_fx->answerer.texts.isEmpty());
    }
    if (readOnly) {
        QFile::setPermissions(Out(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QCOMPARE(m_fx->answerer.titles.last(), QStringLiteral("错误"));
    QCOMPARE(m_fx->answerer.texts.last(), message.arg(Out()));
    QVERIFY(!m_fx->answerer.texts.contains(QStringLiteral("保存成功")));
    QCOMPARE(SavedFiles(), before);
    QCOMPARE(m_fx->window->PageFiles(), pages);
    QCOMPARE(m_fx->View()->GetPagePaths().toList(), pages);
    for (int i = 0; i < pages.size(); ++i) {
        QCOMPARE(QFileInfo::exists(pages.at(i)), i != removedPage);
    }
    QCOMPARE(m_fx->window->Counter(), 12);
    QCOMPARE(StoredCounter(), QStringLiteral("12"));
    QVERIFY(m_fx->Child<QAction>("actionSave")->isEnabled());

    if (!obstacle.isEmpty()) {
        // Once the way is free, a retry writes the whole set under the same names.
        QVERIFY(QDir(Out() + QLatin1Char('/') + obstacle).removeRecursively());
        m_fx->answerer.texts.clear();
        QVERIFY(SaveByAction());
        const int written = format == 6 ? 1 : 5;
        QCOMPARE(m_fx->answerer.texts, QStringList({Saved(written)}));
        QCOMPARE(SavedFiles().size(), written);
        QCOMPARE(SavedFiles().first(), QStringLiteral("a0012.pdf"));
        QCOMPARE(m_fx->window->Counter(), 12 + written);
    }
}

void TestSaveWorkflow::saveAfterScan_data()
{
    QTest::addColumn<bool>("saveAfter");
    QTest::addColumn<QString>("existing");
    QTest::addColumn<bool>("agree");
    QTest::addColumn<QStringList>("saved");
    QTest::addColumn<int>("pagesLeft");
    QTest::addColumn<QStringList>("messages");

    const QStringList three = {"a0012.jpg", "a0013.jpg", "a0014.jpg"};
    const QString question = QStringLiteral("保存路径有重复文件，\r\n确定要覆盖吗？\r\n");
    QTest::newRow("off") << false << "" << true << QStringList() << 3 << QStringList();
    QTest::newRow("on") << true << "" << true << three << 0 << QStringList();
    QTest::newRow("on, overwrite declined") << true << "a0013.jpg" << false << QStringList({"a0013.jpg"}) << 3
                                            << QStringList({question + "a0013.jpg"});
    QTest::newRow("on, overwrite agreed")
        << true << "a0013.jpg" << true << three << 0 << QStringList({question + "a0013.jpg"});
    QTest::newRow("on, target blocked")
        << true << "a0014.jpg/" << true << QStringList() << 3
        << QStringList({question + "a0014.jpg", QStringLiteral("保存失败\n已有同名文件夹：%1/a0014.jpg")});
}

void TestSaveWorkflow::saveAfterScan()
{
    QFETCH(bool, saveAfter);
    QFETCH(QString, existing);
    QFETCH(bool, agree);
    QFETCH(QStringList, saved);
    QFETCH(int, pagesLeft);
    QFETCH(QStringList, messages);

    StartWith(3, saveAfter);
    QVERIFY(QDir().mkpath(Out()));
    if (existing.endsWith(QLatin1Char('/'))) {
        QVERIFY(QDir().mkpath(Out() + QLatin1Char('/') + existing + QStringLiteral("keep")));
        QFile other(Out() + QStringLiteral("/other.txt")); // so that the folder holds a file
        QVERIFY(other.open(QIODevice::WriteOnly));
        saved << QStringLiteral("other.txt");
    } else if (!existing.isEmpty()) {
        QFile file(Out() + QLatin1Char('/') + existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    m_fx->answerer.SetAnswer(agree ? QMessageBox::Yes : QMessageBox::No);
    QVERIFY(ScanSheets(3));

    for (QString& message : messages) {
        message = message.arg(Out());
    }
    QCOMPARE(m_fx->answerer.texts, messages);
    QCOMPARE(SavedFiles(), saved);
    QCOMPARE(m_fx->window->PageFiles().size(), pagesLeft);
    QCOMPARE(m_fx->View()->GetPagePaths().size(), pagesLeft);
    QCOMPARE(m_fx->JumpItems().size(), pagesLeft);
    const int counter = pagesLeft == 0 ? 15 : 12;
    QCOMPARE(m_fx->window->Counter(), counter);
    QCOMPARE(StoredCounter(), QString::number(counter));
    QCOMPARE(m_fx->Child<QAction>("actionSave")->isEnabled(), pagesLeft > 0);
    for (const QString& page : m_fx->window->PageFiles()) {
        QVERIFY(QFileInfo::exists(page));
    }
    // No box after a save that follows a scan: the status area says what it wrote.
    auto* note = m_fx->Child<QLabel>("lblSaveNote");
    QCOMPARE(note->isVisibleTo(m_fx->window), pagesLeft == 0);
    QCOMPARE(note->text(),
             pagesLeft == 0 ? QStringLiteral("已保存 a0012.jpg 至 a0014.jpg（3 页）") : QString());
}

void TestSaveWorkflow::emptyMultiFileSave()
{
    StartWith(6);
    m_fx->window->EnsureScanPath();
    QVERIFY(m_fx->window->DoSave());
    QCOMPARE(SavedFiles(), QStringList());
    QCOMPARE(m_fx->window->Counter(), 12);
}

QTEST_MAIN(TestSaveWorkflow)
#include "tst_saveworkflow.moc"
