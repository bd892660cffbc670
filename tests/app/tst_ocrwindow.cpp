#include "ocrpage.h"
#include "pagelist.h"
#include "pagerecognition.h"
#include "sessioncheck.h"
#include "textstore.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QtTest>

// Text recognition in a running window on the simulator: pages recognised
// in the background into the page list, kept through a turn, dropped and
// recognised again for a replaced page, brought back with a killed session,
// written into searchable PDF and OFD files, and the wait before such a save
// with its stop. Pages of known text are drawn over the scanned files while
// recognition is off, then recognition is switched on.
class TestOcrWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void background();
    void recovery();
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
    // Scans `texts.size()` sheets with recognition off and draws text i over
    // page i's file; recognition is switched on when `on`.
    void Fill(const QStringList& texts, bool on);
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

    QScopedPointer<WindowFixture> m_fx;
    QString m_out;
    int m_load = 0;
};

namespace {
const int kDpi = 50;
const int kWait = 90000;

// Words the recogniser reads without doubt, one line per page.
const QStringList kTexts = {QStringLiteral("Invoice number 4711 paid"),
                            QStringLiteral("Meeting notes for Friday"),
                            QStringLiteral("Warehouse stock report")};

// Text compared without white space (the writers and readers space words
// their own ways).
QString Bare(const QString& text)
{
    return OcrPage::Comparable(text);
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
} // namespace

void TestOcrWindow::initTestCase()
{
    m_fx.reset(new WindowFixture);
    m_out = m_fx->home->path() + QStringLiteral("/out");
    m_fx->Configure({{QStringLiteral("Scanner/FilePath"), m_out},
                     {QStringLiteral("Scanner/FileFormat"), QStringLiteral("6")}});
    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    QVERIFY(m_fx->Start());
    m_fx->SetResolution(kDpi);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
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
    WindowFixture::WriteScenario(
        QStringLiteral("sheets=%1\nsource=Adf-front\nload=%2").arg(sheets).arg(++m_load));
    auto* act = m_fx->Child<QAction>(action);
    if (!act || !act->isEnabled()) {
        qWarning("action %s not usable", action);
        return false;
    }
    act->trigger();
    return m_fx->WaitJobDone();
}

void TestOcrWindow::Fill(const QStringList& texts, bool on)
{
    SetLanguage(QStringLiteral("不识别"));
    const int before = Pages()->Count();
    QVERIFY(Scan("actionScanToLast", texts.size()));
    QCOMPARE(Pages()->Count(), before + texts.size());
    QVERIFY(!Recognition()->HasPending());
    for (int i = 0; i < texts.size(); ++i) {
        const Page& page = Pages()->At(before + i);
        QVERIFY(!Pages()->IsRecognised(page.id));
        OcrPage::Sheet sheet;
        sheet.lines = QStringList{texts.at(i)};
        sheet.points = 16;
        sheet.dpi = 150;
        const QImage image = OcrPage::Render(sheet).image;
        const QString next = page.path + QStringLiteral(".new");
        QVERIFY(image.save(next, "JPEG", 95));
        QVERIFY(::rename(QFile::encodeName(next).constData(), QFile::encodeName(page.path).constData()) == 0);
    }
    if (on) {
        SetLanguage(QStringLiteral("英文"));
    }
}

// Pages are queued when recognition is switched on, counted in the status
// row and recognised; a turn keeps the text; a replaced page's text goes at
// once and its new file is recognised.
void TestOcrWindow::background()
{
    Fill(kTexts, false);
    QVERIFY(!m_fx->Child<QAction>("actionCopyText")->isEnabled());
    auto* note = m_fx->Child<QLabel>("lblOcrProgress");
    QVERIFY(note);
    QVERIFY(!note->isVisible());
    SetLanguage(QStringLiteral("英文"));
    QVERIFY(Recognition()->HasPending());
    QVERIFY(note->isVisible());
    QVERIFY2(note->text().startsWith(QStringLiteral("文字识别：")) &&
                 note->text().endsWith(QStringLiteral("/3")),
             qPrintable(note->text()));
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    QTRY_VERIFY(!note->isVisible());
    for (int row = 0; row < kTexts.size(); ++row) {
        QCOMPARE(Bare(TextAt(row)), Bare(kTexts.at(row)));
        QVERIFY(Pages()->data(Pages()->index(row), PageList::HasTextRole).toBool());
    }

    // "复制文字" puts the current page's text on the clipboard.
    auto* copy = m_fx->Child<QAction>("actionCopyText");
    QVERIFY(copy);
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(2);
    QVERIFY(copy->isEnabled());
    QGuiApplication::clipboard()->clear();
    copy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), TextAt(2));
    QCOMPARE(Bare(QGuiApplication::clipboard()->text()), Bare(kTexts.at(2)));

    // A turn keeps the text (its boxes are in the file's pixels).
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(1);
    const PageText before = Pages()->TextOf(Pages()->At(1).id);
    m_fx->Child<QAction>("actionRotateRight")->trigger();
    QTRY_COMPARE(Pages()->At(1).angle, 90);
    QVERIFY(!Recognition()->HasPending());
    QCOMPARE(PageTextToJson(Pages()->TextOf(Pages()->At(1).id)), PageTextToJson(before));
    PageText stored;
    QVERIFY(TextStore::Read(Pages()->At(1).path, 90, &stored));
    QCOMPARE(PageTextToJson(stored), PageTextToJson(before));

    // A replace scan: the simulator's page, recognised anew.
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(0);
    const Page old = Pages()->At(0);
    QVERIFY(Scan("actionScanReplace", 1));
    QCOMPARE(Pages()->Count(), kTexts.size());
    const Page replaced = Pages()->At(0);
    QVERIFY(replaced.path != old.path);
    QVERIFY(replaced.id != old.id);
    QVERIFY(Bare(TextAt(0)) != Bare(kTexts.at(0)));
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    QVERIFY(Pages()->IsRecognised(replaced.id));
    // The simulator's page holds no words: nothing to copy.
    QCOMPARE(m_fx->Child<QAction>("actionCopyText")->isEnabled(), !TextAt(0).isEmpty());
    QVERIFY(TextStore::Read(replaced.path, replaced.angle, &stored));
    QCOMPARE(PageTextToJson(Pages()->TextOf(replaced.id)), PageTextToJson(stored));
}

// A killed session comes back with the text stored beside its pages.
void TestOcrWindow::recovery()
{
    QVERIFY(Pages()->Count() > 0);
    QStringList texts;
    for (int row = 0; row < Pages()->Count(); ++row) {
        texts << PageTextToJson(Pages()->TextOf(Pages()->At(row).id));
    }
    QScopedPointer<WindowFixture> next(new WindowFixture);
    next->home.swap(m_fx->home);
    next->tmp.swap(m_fx->tmp);
    m_fx.reset(next.take());
    m_fx->answerer.SetAnswer(QMessageBox::Yes);
    QVERIFY(m_fx->Start());
    QTRY_COMPARE(m_fx->window->PendingRecoveryCount(), 0);
    m_fx->SetResolution(kDpi);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
    QCOMPARE(Recognition()->Language(), OcrLanguage::English);
    QCOMPARE(Pages()->Count(), texts.size());
    for (int row = 0; row < texts.size(); ++row) {
        QCOMPARE(QString(PageTextToJson(Pages()->TextOf(Pages()->At(row).id))), texts.at(row));
    }
    // Read back, not recognised again.
    QVERIFY(!Recognition()->HasPending());

    // The simulator's page goes (its text is no known one).
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(0);
    m_fx->Child<QAction>("actionDelete")->trigger();
    QTRY_COMPARE(Pages()->Count(), texts.size() - 1);
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
// page too); with recognition off it holds none.
void TestOcrWindow::save()
{
    QFETCH(int, format);
    QFETCH(bool, on);

    // Whatever an earlier row left.
    RemoveSavedFiles();
    m_fx->Configure({{QStringLiteral("Scanner/FileFormat"), QString::number(format)}});
    m_fx->window->ReadSysConfig();
    if (Pages()->Count() == 0) {
        Fill(kTexts.mid(0, 2), true);
    } else {
        SetLanguage(QStringLiteral("英文"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(Pages()->Count() - 1);
    m_fx->Child<QAction>("actionRotateLeft")->trigger();
    QStringList expected;
    for (int row = 0; row < Pages()->Count(); ++row) {
        expected << Bare(TextAt(row));
        QVERIFY(!expected.last().isEmpty() || row == 0);
    }
    if (!on) {
        SetLanguage(QStringLiteral("不识别"));
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
    const QStringList texts = kTexts + kTexts;
    Fill(texts, true);
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
    QCOMPARE(Pages()->Count(), texts.size());
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    for (int row = 0; row < texts.size(); ++row) {
        QCOMPARE(Bare(TextAt(row)), Bare(texts.at(row)));
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
    Fill(kTexts, false);
    SetLanguage(QStringLiteral("简体中文+英文"));
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
    SetLanguage(QStringLiteral("英文"));
    QCOMPARE(Pages()->Count(), 0);
    Fill(kTexts, true);
    QVERIFY(Recognition()->HasPending());
    QVERIFY(Pages()->RemoveRows({0, 2}));
    QCOMPARE(Recognition()->PendingCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!Recognition()->HasPending(), kWait);
    QCOMPARE(Bare(TextAt(0)), Bare(kTexts.at(1)));
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
    const QStringList texts = kTexts + kTexts + kTexts;
    Fill(texts, true);
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
    // Every page drawn with text is saved with it (the scanned one after).
    const QStringList files = SavedFiles();
    QCOMPARE(files.size(), 1);
    QStringList expected;
    for (const QString& text : texts) {
        expected << Bare(text);
    }
    QCOMPARE(PdfPageTexts(m_out + QLatin1Char('/') + files.first(), texts.size()), expected);
}

// "另存为" waits the same way before it writes a searchable file.
void TestOcrWindow::saveAsWaits()
{
    QCOMPARE(Pages()->Count(), 0);
    RemoveSavedFiles();
    Fill(kTexts, true);
    QVERIFY(Recognition()->HasPending());
    QVERIFY(QDir().mkpath(m_out));
    const QString target = m_out + QStringLiteral("/chosen.pdf");
    OverlayWatch overlay(m_fx->window.data());
    // The dialog answered as a user would: the PDF file type, a name typed.
    QTimer answer;
    answer.setInterval(20);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("dlgSaveAs")) {
            return;
        }
        dialog->selectNameFilter(dialog->nameFilters().value(6));
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            name->setText(target);
        }
        QMetaObject::invokeMethod(dialog, "accept");
    });
    answer.start();
    m_fx->Child<QAction>("actionSaveAs")->trigger();
    answer.stop();
    QTRY_VERIFY_WITH_TIMEOUT(Pages()->Count() == 0 && !m_fx->window->JobRunning(), kWait);
    m_fx->jobsDone = 0;
    QVERIFY2(overlay.Showed(QStringLiteral("正在识别文字… ")), qPrintable(overlay.shown.join(" | ")));
    QCOMPARE(SavedFiles(), QStringList{QStringLiteral("chosen.pdf")});
    QStringList expected;
    for (const QString& text : kTexts) {
        expected << Bare(text);
    }
    QCOMPARE(PdfPageTexts(target, kTexts.size()), expected);
}

QTEST_MAIN(TestOcrWindow)
#include "tst_ocrwindow.moc"
