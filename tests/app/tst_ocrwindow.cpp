#include "ocrpage.h"
#include "pagelist.h"
#include "pagerecognition.h"
#include "sessioncheck.h"
#include "simpage.h"
#include "textstore.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <sys/types.h>

// Text recognition in a running window on the simulator's pages of printed
// text: pages recognised in the background into the page list while the
// feeder scans, kept through a turn, dropped and recognised again for a
// replaced page, brought back from a session killed during recognition,
// written into searchable PDF and OFD files, and the wait before such a save
// with its stop. Every page's text is compared with the lines the simulator
// printed on that side.
class TestOcrWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void background();
    void killedDuringRecognition();
    void save_data();
    void save();
    void stopWhileWaiting();
    void missingData();
    void removedWhilePending();
    void saveAfterScanWaits();
    void saveAsWaits();

private:
    void SetLanguage(const QString& text);
    bool Scan(const char* action, int sheets);
    // Scans `sheets` sheets from `source` to the end of the list with
    // recognition in `language`, and notes the printed lines of every new
    // page.
    void ScanText(const QString& source, int sheets, const QString& language);
    // Notes the printed lines of the page at `row` from its sheet marker.
    void NoteTruth(int row);
    // Empty when the page at `row` reads as the lines printed on it, else
    // what it reads.
    QString Misread(int row) const;
    // The printed lines of every page, in page order.
    QStringList Truths() const
    {
        QStringList truths;
        for (int row = 0; row < Pages()->Count(); ++row) {
            truths << m_truth.value(Pages()->At(row).path);
        }
        return truths;
    }
    PageRecognition* Recognition() const { return m_fx->window->Recognition(); }
    PageList* Pages() const { return m_fx->window->Pages(); }
    QString TextAt(int row) const { return Pages()->TextOf(Pages()->At(row).id).PlainText(); }
    QStringList SavedFiles() const { return QDir(m_out).entryList(QDir::Files, QDir::Name); }
    void RemoveSavedFiles() const
    {
        for (const QString& file : SavedFiles()) {
            QFile::remove(m_out + QLatin1Char('/') + file);
        }
    }
    void UseOutput()
    {
        m_out = m_fx->home->path() + QStringLiteral("/out");
        m_fx->Configure({{QStringLiteral("Scanner/FilePath"), m_out},
                         {QStringLiteral("Scanner/FileFormat"), QStringLiteral("6")}});
    }
    void SetUpPanel()
    {
        m_fx->SetResolution(kDpi);
        QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Gray")));
        QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
        QVERIFY(m_fx->SetPanelCombo("cmPaperSize", QStringLiteral("A5")));
    }

public:
    static const int kDpi = 150;
    static const int kWait = 180000;

private:
    QScopedPointer<WindowFixture> m_fx;
    QString m_out;
    int m_load = 0;
    // Page file -> the lines printed on it, without white space.
    QHash<QString, QString> m_truth;
};

namespace {

const QString kEnglish = QStringLiteral("英文");
const QString kChinese = QStringLiteral("简体中文+英文");
const QString kOff = QStringLiteral("不识别");

// Text compared without white space (the writers and readers space words
// their own ways).
QString Bare(const QString& text)
{
    return OcrPage::Comparable(text);
}

// Whether a page's text is the truth printed on it: all of it, in reading
// order, after what the recogniser may make of the large sheet marker
// above it ("1B" read as "1E", or nothing).
bool Reads(const QString& text, const QString& truth)
{
    const QString bare = Bare(text);
    return !truth.isEmpty() && bare.endsWith(truth) && bare.size() <= truth.size() + 4;
}

// The TextCode texts of every page of an OFD file, one string per page.
QStringList OfdTexts(const QString& ofd, const QString& dir)
{
    QStringList texts;
    bool ok = false;
    SessionCheck::Run(QStringLiteral("unzip"), {QStringLiteral("-o"), ofd, QStringLiteral("-d"), dir}, &ok);
    if (!ok) {
        return texts;
    }
    QStringList contents;
    QDirIterator it(dir, {QStringLiteral("Content.xml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        contents << it.next();
    }
    // Page_0, Page_1, … in page order.
    std::sort(contents.begin(), contents.end(), [](const QString& a, const QString& b) {
        const QRegularExpression number(QStringLiteral("Page_(\\d+)"));
        return number.match(a).captured(1).toInt() < number.match(b).captured(1).toInt();
    });
    const QRegularExpression code(QStringLiteral("<(?:\\w+:)?TextCode[^>]*>([^<]*)</(?:\\w+:)?TextCode>"));
    for (const QString& content : qAsConst(contents)) {
        const QString xml = QString::fromUtf8(SessionCheck::Bytes(content));
        QString text;
        auto match = code.globalMatch(xml);
        while (match.hasNext()) {
            text += match.next().captured(1);
        }
        texts << text;
    }
    return texts;
}

// Sheets the killed session scans, on both sides.
const int kChildSheets = 4;

// The child process of killedDuringRecognition: a window on the given
// folders scans four sheets on both sides with Chinese recognition on, says
// where its pages go ("DIR <folder>") and runs until it is killed.
int RunScanningChild(const QString& home, const QString& tmp)
{
    WindowFixture fx(home, tmp);
    if (!fx.Start()) {
        return 3;
    }
    fx.SetResolution(TestOcrWindow::kDpi);
    auto* language = fx.Child<QComboBox>("cmOcrLanguage");
    if (!fx.SetPanelCombo("cmMode", QStringLiteral("Gray")) ||
        !fx.SetPanelCombo("cmSource", QStringLiteral("Adf-duplex")) ||
        !fx.SetPanelCombo("cmPaperSize", QStringLiteral("A5")) || !language ||
        language->findText(kChinese) < 0) {
        return 4;
    }
    language->setCurrentIndex(language->findText(kChinese));
    WindowFixture::WriteScenario(QStringLiteral("sheets=%1\ntext=on\nload=child").arg(kChildSheets));
    auto* scan = fx.Child<QAction>("actionScanToLast");
    if (!scan || !scan->isEnabled()) {
        return 5;
    }
    scan->trigger();
    std::printf("DIR %s\n", qPrintable(fx.ScanDir()));
    std::fflush(stdout);
    for (;;) {
        QTest::qWait(1000);
    }
}

} // namespace

void TestOcrWindow::initTestCase()
{
    m_fx.reset(new WindowFixture);
    UseOutput();
    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    QVERIFY(m_fx->Start());
    SetUpPanel();
}

void TestOcrWindow::cleanupTestCase()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

void TestOcrWindow::SetLanguage(const QString& text)
{
    auto* box = m_fx->Child<QComboBox>("cmOcrLanguage");
    QVERIFY(box);
    const int index = box->findText(text);
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
}

bool TestOcrWindow::Scan(const char* action, int sheets)
{
    WindowFixture::WriteScenario(QStringLiteral("sheets=%1\ntext=on\nload=%2").arg(sheets).arg(++m_load));
    auto* act = m_fx->Child<QAction>(action);
    if (!act || !act->isEnabled()) {
        qWarning("action %s not usable", action);
        return false;
    }
    act->trigger();
    return m_fx->WaitJobDone();
}

void TestOcrWindow::NoteTruth(int row)
{
    const QString path = Pages()->At(row).path;
    const QString marker = SimPage::FileMarker(path, kDpi);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+[AB]$")).match(marker).hasMatch(), qPrintable(marker));
    const QStringList lines = SimPage::SideText(marker.chopped(1).toInt(), marker.back().toLatin1());
    QVERIFY(!lines.isEmpty());
    m_truth.insert(path, Bare(lines.join(QLatin1Char('\n'))));
}

void TestOcrWindow::ScanText(const QString& source, int sheets, const QString& language)
{
    SetLanguage(language);
    QVERIFY(m_fx->SetPanelCombo("cmSource", source));
    const int before = Pages()->Count();
    QVERIFY(Scan("actionScanToLast", sheets));
    QCOMPARE(Pages()->Count(), before + sheets * (source == QLatin1String("Adf-duplex") ? 2 : 1));
    for (int row = before; row < Pages()->Count(); ++row) {
        NoteTruth(row);
    }
}

QString TestOcrWindow::Misread(int row) const
{
    const QString truth = m_truth.value(Pages()->At(row).path);
    if (Reads(TextAt(row), truth)) {
        return QString();
    }
    return QStringLiteral("page %1 reads \"%2\", printed \"%3\"").arg(row + 1).arg(Bare(TextAt(row)), truth);
}

// Chinese fronts recognised while the feeder scans them; English backs
// scanned with recognition off and queued when it is switched on, counted in
// the status row. A turn keeps the text; a replaced page's text goes at once
// and its new page is recognised.
void TestOcrWindow::background()
{
    ScanText(QStringLiteral("Adf-front"), 3, kChinese);
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    for (int row = 0; row < 3; ++row) {
        QVERIFY2(Misread(row).isEmpty(), qPrintable(Misread(row)));
        QVERIFY(Pages()->data(Pages()->index(row), PageList::HasTextRole).toBool());
    }

    auto* note = m_fx->Child<QLabel>("lblOcrProgress");
    QVERIFY(note);
    QVERIFY(!note->isVisible());
    ScanText(QStringLiteral("Adf-back"), 2, kOff);
    QVERIFY(!Recognition()->HasPending());
    QVERIFY(!Pages()->IsRecognised(Pages()->At(3).id));
    // No text to copy: Ctrl+C in the column says so and leaves the clipboard
    // alone. Nothing of the column's rows names the page's private file.
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    QTest::keyClick(m_fx->Child<QWidget>("lwImgThumbnail"), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    QCOMPARE(m_fx->LabelText("lblSaveNote"), QStringLiteral("选中的图像没有识别出的文字"));
    for (const QVariant& value : Pages()->itemData(Pages()->index(3))) {
        QVERIFY(!value.toString().contains(Pages()->At(3).path));
    }
    SetLanguage(kEnglish);
    // Only the two pages without text are queued.
    QCOMPARE(Recognition()->PendingCount(), 2);
    QVERIFY(note->isVisible());
    QVERIFY2(note->text().startsWith(QStringLiteral("文字识别：")) &&
                 note->text().endsWith(QStringLiteral("/2")),
             qPrintable(note->text()));
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    QTRY_VERIFY(!note->isVisible());
    for (int row = 0; row < Pages()->Count(); ++row) {
        QVERIFY2(Misread(row).isEmpty(), qPrintable(Misread(row)));
    }

    // "复制文字" puts the text of the selected pages on the clipboard, in
    // page order, a blank line between two, and counts them in the status
    // row; Ctrl+C in the thumbnail column does the same.
    auto* copy = m_fx->Child<QAction>("actionCopyText");
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(3);
    m_fx->Child<QAction>("actionSelectAll")->trigger();
    QVERIFY(copy->isEnabled());
    QGuiApplication::clipboard()->clear();
    copy->trigger();
    QStringList texts;
    for (int row = 0; row < Pages()->Count(); ++row) {
        texts << TextAt(row).trimmed();
    }
    QCOMPARE(QGuiApplication::clipboard()->text(), texts.join(QStringLiteral("\n\n")));
    QCOMPARE(m_fx->LabelText("lblSaveNote"), QStringLiteral("已复制 5 页的文字"));
    m_fx->Child<QAction>("actionSelectReverse")->trigger();
    Pages()->Selection()->select(Pages()->index(1), QItemSelectionModel::Select);
    Pages()->Selection()->select(Pages()->index(4), QItemSelectionModel::Select);
    QTest::keyClick(m_fx->Child<QWidget>("lwImgThumbnail"), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), texts.at(1) + QStringLiteral("\n\n") + texts.at(4));
    QCOMPARE(m_fx->LabelText("lblSaveNote"), QStringLiteral("已复制 2 页的文字"));

    // A turn keeps the text (its boxes are in the file's pixels).
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(1);
    const PageText before = Pages()->TextOf(Pages()->At(1).id);
    m_fx->Child<QAction>("actionRotateRight")->trigger();
    QTRY_COMPARE(Pages()->At(1).angle, 90);
    QVERIFY(!Recognition()->HasPending());
    QCOMPARE(PageTextToJson(Pages()->TextOf(Pages()->At(1).id)), PageTextToJson(before));
    QVERIFY2(Misread(1).isEmpty(), qPrintable(Misread(1)));
    PageText stored;
    QVERIFY(TextStore::Read(Pages()->At(1).path, 90, &stored));
    QCOMPARE(PageTextToJson(stored), PageTextToJson(before));

    // A replace scan: the Chinese front 1A gives way to the English back 1B.
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(0);
    const Page old = Pages()->At(0);
    const int count = Pages()->Count();
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-back")));
    QVERIFY(Scan("actionScanReplace", 1));
    QCOMPARE(Pages()->Count(), count);
    const Page replaced = Pages()->At(0);
    QVERIFY(replaced.path != old.path);
    QVERIFY(replaced.id != old.id);
    QVERIFY(!Reads(TextAt(0), m_truth.value(old.path)));
    NoteTruth(0);
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    QVERIFY2(Misread(0).isEmpty(), qPrintable(Misread(0)));
    QVERIFY(TextStore::Read(replaced.path, replaced.angle, &stored));
    QCOMPARE(PageTextToJson(Pages()->TextOf(replaced.id)), PageTextToJson(stored));
}

// A session killed by SIGKILL while its pages are being recognised: the next
// start brings back the pages with the texts that were finished, without
// recognising them again, and recognises the rest.
void TestOcrWindow::killedDuringRecognition()
{
    QScopedPointer<WindowFixture> next(new WindowFixture);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--scan-and-recognise"), next->home->path(), next->tmp->path()});
    QVERIFY(child.waitForStarted());
    // Killed as soon as all eight pages are scanned and one has its text
    // stored: the others are being recognised or wait.
    const int sheets = kChildSheets;
    QString dir;
    QElapsedTimer clock;
    clock.start();
    while (child.state() == QProcess::Running && clock.elapsed() < kWait) {
        if (dir.isEmpty() && (child.canReadLine() || child.waitForReadyRead(5))) {
            const QString line = QString::fromLocal8Bit(child.readLine()).trimmed();
            if (line.startsWith(QLatin1String("DIR "))) {
                dir = line.mid(4);
            }
        } else if (!dir.isEmpty() &&
                   QDir(dir).entryList({QStringLiteral("*.jpg")}, QDir::Files).size() == 2 * sheets &&
                   !QDir(dir).entryList({QStringLiteral("*.text")}, QDir::Files).isEmpty()) {
            break;
        } else {
            QThread::msleep(2);
        }
    }
    const bool running = child.state() == QProcess::Running;
    if (running) {
        ::kill(pid_t(child.processId()), SIGKILL);
    }
    QVERIFY(child.waitForFinished());
    QVERIFY2(running && !dir.isEmpty(),
             qPrintable(QStringLiteral("the child ended (code %1) or gave no folder").arg(child.exitCode())));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    // What was finished when the process died: recognising a page again
    // would store its text anew, under another inode.
    QHash<QString, quint64> stored;
    for (const QString& name : QDir(dir).entryList({QStringLiteral("*.text")}, QDir::Files)) {
        stored.insert(QDir(dir).filePath(name.chopped(5)), PageStamp::Of(QDir(dir).filePath(name)).inode);
    }

    m_fx.reset(next.take());
    UseOutput();
    m_fx->answerer.SetAnswer(QMessageBox::Yes);
    QVERIFY(m_fx->Start());
    QTRY_COMPARE(m_fx->window->PendingRecoveryCount(), 0);
    SetUpPanel();
    QCOMPARE(Recognition()->Language(), OcrLanguage::SimplifiedChinese);
    const int count = Pages()->Count();
    QCOMPARE(count, 2 * sheets);
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    int recognised = 0;
    for (int row = 0; row < count; ++row) {
        const Page& page = Pages()->At(row);
        NoteTruth(row);
        QVERIFY2(Misread(row).isEmpty(), qPrintable(Misread(row)));
        if (stored.contains(page.path)) {
            ++recognised;
            PageText text;
            QVERIFY(TextStore::Read(page.path, page.angle, &text));
            QCOMPARE(PageTextToJson(Pages()->TextOf(page.id)), PageTextToJson(text));
            QCOMPARE(PageStamp::Of(TextStore::TextPath(page.path)).inode, stored.value(page.path));
        }
    }
    QVERIFY2(
        recognised >= 1 && recognised < count,
        qPrintable(QStringLiteral("%1 of %2 pages recognised before the kill").arg(recognised).arg(count)));
    qInfo("%d of %d pages had their text stored when the session was killed", recognised, count);
}

void TestOcrWindow::save_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("on");

    QTest::newRow("PDF") << 6 << true;
    QTest::newRow("OFD") << 8 << true;
    QTest::newRow("single-page PDF") << 5 << true;
    QTest::newRow("PDF, recognition off") << 6 << false;
}

// The saved file holds each page's text as the page list does (a turned
// page too), which is the text printed on the page; with recognition off it
// holds none.
void TestOcrWindow::save()
{
    QFETCH(int, format);
    QFETCH(bool, on);

    // Whatever an earlier row left.
    RemoveSavedFiles();
    m_fx->Configure({{QStringLiteral("Scanner/FileFormat"), QString::number(format)}});
    m_fx->window->ReadSysConfig();
    // The first row saves the pages of the killed session.
    if (Pages()->Count() == 0) {
        ScanText(QStringLiteral("Adf-duplex"), 1, kChinese);
    } else {
        SetLanguage(kChinese);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(Pages()->Count() - 1);
    m_fx->Child<QAction>("actionRotateLeft")->trigger();
    QTRY_COMPARE(Pages()->At(Pages()->Count() - 1).angle, 270);
    QStringList expected;
    for (int row = 0; row < Pages()->Count(); ++row) {
        QVERIFY2(Misread(row).isEmpty(), qPrintable(Misread(row)));
        expected << Bare(TextAt(row));
    }
    if (!on) {
        SetLanguage(kOff);
    }

    m_fx->Child<QAction>("actionSave")->trigger();
    QVERIFY(m_fx->WaitIdle());
    QCOMPARE(Pages()->Count(), 0);
    const QStringList files = SavedFiles();
    QCOMPARE(files.size(), format == 5 ? expected.size() : 1);
    QStringList found;
    if (format == 8) {
        found =
            OfdTexts(m_out + QLatin1Char('/') + files.first(), m_fx->tmp->path() + QStringLiteral("/ofd"));
    } else {
        for (const QString& file : files) {
            const QString path = m_out + QLatin1Char('/') + file;
            bool ok = false;
            const QString fonts = SessionCheck::Run(QStringLiteral("pdffonts"), {path}, &ok);
            QVERIFY(ok);
            // A header of two lines, then one line per font.
            QCOMPARE(fonts.trimmed().split(QLatin1Char('\n')).size() > 2, on);
            const int pages = format == 5 ? 1 : expected.size();
            for (int page = 1; page <= pages; ++page) {
                found << Bare(SessionCheck::Run(QStringLiteral("pdftotext"),
                                                {QStringLiteral("-raw"), QStringLiteral("-f"),
                                                 QString::number(page), QStringLiteral("-l"),
                                                 QString::number(page), path, QStringLiteral("-")},
                                                &ok));
                QVERIFY(ok);
            }
        }
    }
    for (QString& text : found) {
        text = Bare(text);
    }
    if (on) {
        QCOMPARE(found, expected);
    } else {
        QCOMPARE(found, QVector<QString>(expected.size()).toList());
    }
}

// Saving a searchable file waits for the pages still being recognised;
// "停止" saves nothing and keeps the pages, and the pages recognised go on
// to get their text.
void TestOcrWindow::stopWhileWaiting()
{
    m_fx->Configure({{QStringLiteral("Scanner/FileFormat"), QStringLiteral("6")}});
    m_fx->window->ReadSysConfig();
    QCOMPARE(Pages()->Count(), 0);
    RemoveSavedFiles();
    ScanText(QStringLiteral("Adf-back"), 6, kOff);
    SetLanguage(kEnglish);
    QVERIFY(Recognition()->HasPending());
    m_fx->Child<QAction>("actionSave")->trigger();
    QPushButton* stop = nullptr;
    QTRY_VERIFY((stop = m_fx->window->findChild<QPushButton*>(QStringLiteral("btnStopScan"))) &&
                stop->isVisible());
    QCOMPARE(stop->text(), QStringLiteral("停止"));
    auto* message = m_fx->window->findChild<QLabel*>(QStringLiteral("lblMessage"));
    QVERIFY(message);
    QVERIFY2(message->text().startsWith(QStringLiteral("正在识别文字… ")), qPrintable(message->text()));
    QVERIFY(Recognition()->HasPending());
    stop->click();
    QVERIFY(m_fx->WaitIdle());
    QCOMPARE(SavedFiles(), QStringList());
    QCOMPARE(Pages()->Count(), 6);
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    for (int row = 0; row < Pages()->Count(); ++row) {
        QVERIFY2(Misread(row).isEmpty(), qPrintable(Misread(row)));
    }
}

// A language whose data is not installed: the package to install is told
// once, in the status row; the pages are saved without text.
void TestOcrWindow::missingData()
{
    QTemporaryDir data;
    QVERIFY(QFile::link(QStringLiteral("/usr/share/tesseract-ocr/5/tessdata/eng.traineddata"),
                        data.filePath(QStringLiteral("eng.traineddata"))));
    qputenv("TESSDATA_PREFIX", QFile::encodeName(data.path()));
    RemoveSavedFiles();
    // The pages kept by the stopped save are recognised already.
    Pages()->Clear();
    QSignalSpy told(Recognition(), &PageRecognition::sglMessage);
    ScanText(QStringLiteral("Adf-front"), 3, kOff);
    SetLanguage(kChinese);
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    qunsetenv("TESSDATA_PREFIX");
    const QString message = QStringLiteral("未安装文字识别数据：tesseract-ocr-chi-sim");
    QCOMPARE(told.count(), 1);
    QCOMPARE(told.first().first().toString(), message);
    auto* note = m_fx->Child<QLabel>("lblOcrMessage");
    QVERIFY(note && note->isVisible());
    QCOMPARE(note->text(), message);
    for (int row = 0; row < Pages()->Count(); ++row) {
        QVERIFY(TextAt(row).isEmpty());
    }
    QVERIFY(!m_fx->Child<QAction>("actionCopyText")->isEnabled());

    m_fx->Child<QAction>("actionSave")->trigger();
    QVERIFY(m_fx->WaitIdle());
    QCOMPARE(Pages()->Count(), 0);
    QCOMPARE(SavedFiles().size(), 1);
    bool ok = false;
    const QString fonts =
        SessionCheck::Run(QStringLiteral("pdffonts"), {m_out + QLatin1Char('/') + SavedFiles().first()}, &ok);
    QVERIFY(ok);
    QCOMPARE(fonts.trimmed().split(QLatin1Char('\n')).size(), 2);
}

// Pages removed while they wait are taken out of the queue: nothing is
// pending any more (a searchable save would not wait for them) and nothing
// arrives for them.
void TestOcrWindow::removedWhilePending()
{
    QCOMPARE(Pages()->Count(), 0);
    ScanText(QStringLiteral("Adf-back"), 3, kOff);
    SetLanguage(kEnglish);
    QVERIFY(Recognition()->HasPending());
    QVERIFY(Pages()->RemoveRows({0, 2}));
    QCOMPARE(Recognition()->PendingCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    QVERIFY2(Misread(0).isEmpty(), qPrintable(Misread(0)));
    QVERIFY(m_truth.value(Pages()->At(0).path).startsWith(QStringLiteral("Minutes")));
    QVERIFY(Pages()->RemoveRows({0}));
    QVERIFY(!Recognition()->HasPending());
    QTRY_VERIFY(!m_fx->Child<QLabel>("lblOcrProgress")->isVisible());
}

namespace {

// The texts the busy overlay shows, each change once, while it is watched.
class OverlayWatch : public QObject {
public:
    explicit OverlayWatch(QWidget* window) : m_window(window)
    {
        m_poll.setInterval(10);
        connect(&m_poll, &QTimer::timeout, this, &OverlayWatch::Look);
        m_poll.start();
    }
    void Look()
    {
        auto* message = m_window->findChild<QLabel*>(QStringLiteral("lblMessage"));
        if (message && message->isVisible() && (shown.isEmpty() || shown.last() != message->text())) {
            shown << message->text();
        }
    }
    bool Showed(const QString& start) const
    {
        return std::any_of(shown.begin(), shown.end(),
                           [&](const QString& text) { return text.startsWith(start); });
    }
    QStringList shown;

private:
    QWidget* m_window;
    QTimer m_poll;
};

// The text of each page of the PDF file `path`, without white space.
QStringList PdfPageTexts(const QString& path, int pages)
{
    QStringList texts;
    for (int page = 1; page <= pages; ++page) {
        bool ok = false;
        texts << OcrPage::Comparable(
            SessionCheck::Run(QStringLiteral("pdftotext"),
                              {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                               QString::number(page), path, QStringLiteral("-")},
                              &ok));
        if (!ok) {
            texts.last() = QStringLiteral("(unreadable)");
        }
    }
    return texts;
}

// Empty when the first pages of the PDF file `path` read as `truths`, else
// the first page that does not and what it reads.
QString PdfMisread(const QString& path, const QStringList& truths)
{
    const QStringList found = PdfPageTexts(path, truths.size());
    for (int page = 0; page < truths.size(); ++page) {
        if (!Reads(found.value(page), truths.at(page))) {
            return QStringLiteral("page %1 reads \"%2\"").arg(page + 1).arg(found.value(page));
        }
    }
    return QString();
}

} // namespace

// The save that follows a scan ("扫描后保存") waits, like "保存", for the
// pages still being recognised, under the overlay; the scan itself runs with
// one worker, and all cores work again once it ends.
void TestOcrWindow::saveAfterScanWaits()
{
    m_fx->Configure({{QStringLiteral("Scanner/FileFormat"), QStringLiteral("6")}});
    m_fx->window->ReadSysConfig();
    QCOMPARE(Pages()->Count(), 0);
    RemoveSavedFiles();
    const int cores = std::max(1, QThread::idealThreadCount());
    // Enough pages that the one worker is still busy when the short scan ends.
    ScanText(QStringLiteral("Adf-back"), 9, kOff);
    SetLanguage(kEnglish);
    const QStringList truths = Truths();
    QVERIFY(Recognition()->HasPending());
    QCOMPARE(Recognition()->WorkerCount(), cores);
    auto* after = m_fx->Child<QCheckBox>("cbSaveAfterScan");
    QVERIFY(after);
    after->setChecked(true);
    // The workers at the moment the scanned page arrives.
    QList<int> workers;
    const QMetaObject::Connection arrived = connect(Pages(), &QAbstractItemModel::rowsInserted, this,
                                                    [&] { workers << Recognition()->WorkerCount(); });
    OverlayWatch overlay(m_fx->window.data());
    const bool scanned = Scan("actionScanToLast", 1);
    QTRY_VERIFY_WITH_TIMEOUT(Pages()->Count() == 0 && !m_fx->window->JobRunning(), kWait);
    // The wait and the save ended after the scan: not to be taken for the
    // next scan's end.
    m_fx->jobsDone = 0;
    disconnect(arrived);
    after->setChecked(false);
    QVERIFY(scanned);
    QCOMPARE(workers, QList<int>{1});
    QCOMPARE(Recognition()->WorkerCount(), cores);
    QVERIFY2(overlay.Showed(QStringLiteral("正在识别文字… ")), qPrintable(overlay.shown.join(" | ")));
    // Every page waiting when the scan began is saved with its text (the
    // scanned one after them).
    const QStringList files = SavedFiles();
    QCOMPARE(files.size(), 1);
    const QString misread = PdfMisread(m_out + QLatin1Char('/') + files.first(), truths);
    QVERIFY2(misread.isEmpty(), qPrintable(misread));
}

// "另存为" waits the same way before it writes a searchable file, and keeps
// the pages with their texts.
void TestOcrWindow::saveAsWaits()
{
    QCOMPARE(Pages()->Count(), 0);
    RemoveSavedFiles();
    ScanText(QStringLiteral("Adf-back"), 3, kOff);
    SetLanguage(kEnglish);
    const QStringList truths = Truths();
    QVERIFY(Recognition()->HasPending());
    QVERIFY(QDir().mkpath(m_out));
    const QString target = m_out + QStringLiteral("/chosen.pdf");
    OverlayWatch overlay(m_fx->window.data());
    QVERIFY(m_fx->SaveAs(target, 6));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(target) && !m_fx->window->JobRunning(), kWait);
    m_fx->jobsDone = 0;
    QVERIFY2(overlay.Showed(QStringLiteral("正在识别文字… ")), qPrintable(overlay.shown.join(" | ")));
    QCOMPARE(SavedFiles(), QStringList{QStringLiteral("chosen.pdf")});
    const QString misread = PdfMisread(target, truths);
    QVERIFY2(misread.isEmpty(), qPrintable(misread));
    QCOMPARE(Truths(), truths);
    for (int row = 0; row < Pages()->Count(); ++row) {
        QVERIFY2(Misread(row).isEmpty(), qPrintable(Misread(row)));
    }
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--scan-and-recognise") == 0) {
        return RunScanningChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    TestOcrWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ocrwindow.moc"
