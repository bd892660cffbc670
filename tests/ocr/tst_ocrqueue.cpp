// The background queue: results on the owner's thread with the counts, a
// page that fails does not stop the others, stored texts are taken, pages
// are cancelled and replaced, workers run below the rest of the program,
// and nothing happens while recognition is off.
#include "ocrpage.h"
#include "ocrqueue.h"
#include "pagemaker.h"
#include "pagestamp.h"
#include "textstore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

struct Delivery {
    quint64 pageId = 0;
    bool done = false;
    QString text; // plain text, or the message of a failure
    bool stored = false;
    bool onOwnerThread = false;
};

// Everything a queue delivers, in order, noted on the thread that emits it.
class Recorder : public QObject {
public:
    explicit Recorder(OcrQueue* queue)
    {
        connect(
            queue, &OcrQueue::sglPageDone, this,
            [this](quint64 id, const PageText& text, bool stored) {
                deliveries.append({id, true, text.PlainText(), stored, QThread::currentThread() == thread()});
            },
            Qt::DirectConnection);
        connect(
            queue, &OcrQueue::sglPageFailed, this,
            [this](quint64 id, const QString& message) {
                deliveries.append({id, false, message, false, QThread::currentThread() == thread()});
            },
            Qt::DirectConnection);
        connect(
            queue, &OcrQueue::sglProgress, this,
            [this](int done, int total) { progress.append(qMakePair(done, total)); }, Qt::DirectConnection);
    }
    QList<Delivery> deliveries;
    QList<QPair<int, int>> progress;
};

// The largest niceness among the threads of this process (field 19 of
// /proc/self/task/<tid>/stat), -100 when none can be read.
int LargestThreadNiceness()
{
    int largest = -100;
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 16) {
            largest = std::max(largest, fields.at(16).toInt());
        }
    }
    return largest;
}

QString WritePage(const QString& path, const QStringList& lines)
{
    OcrPage::Sheet sheet;
    sheet.lines = lines;
    sheet.points = 14;
    return OcrPage::Render(sheet).image.save(path) ? path : QString();
}

} // namespace

class TestOcrQueue : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void deliversInOrderOnOwnerThread();
    void takesStoredText_data();
    void takesStoredText();
    void cancelWhileRecognising();
    void replacedPage_data();
    void replacedPage();
    void fullDiskStillDelivers();
    void offDoesNothing();
    void noEngineMadeWhileHeld_data();
    void noEngineMadeWhileHeld();

private:
    QTemporaryDir m_dir;
};

void TestOcrQueue::deliversInOrderOnOwnerThread()
{
    const QString a = WritePage(m_dir.filePath("a.png"), {"First page"});
    const QString b = m_dir.filePath("b.jpg");
    const QString c = WritePage(m_dir.filePath("c.png"), {"Third page"});
    QFile damaged(b);
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("\xFF\xD8\xFF\xE0 not a picture");
    damaged.close();
    OcrQueue queue;
    queue.SetLanguage(OcrLanguage::English);
    Recorder recorder(&queue);
    queue.Add(1, a, 0);
    queue.Add(2, b, 0);
    queue.Add(3, c, 0);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.deliveries.size(), 3, 60000);
    QVERIFY(queue.IsIdle());
    QCOMPARE(recorder.deliveries.at(0).pageId, quint64(1));
    QCOMPARE(recorder.deliveries.at(0).text, QString("First page\n"));
    QVERIFY(recorder.deliveries.at(0).stored);
    QCOMPARE(recorder.deliveries.at(1).pageId, quint64(2));
    QVERIFY(!recorder.deliveries.at(1).done);
    QVERIFY(recorder.deliveries.at(1).text.contains(b));
    QCOMPARE(recorder.deliveries.at(2).pageId, quint64(3));
    QCOMPARE(recorder.deliveries.at(2).text, QString("Third page\n"));
    for (const Delivery& delivery : recorder.deliveries) {
        QVERIFY(delivery.onOwnerThread);
    }
    QCOMPARE(recorder.progress.first(), qMakePair(0, 1));
    QCOMPARE(recorder.progress.last(), qMakePair(3, 3));
    QCOMPARE(queue.DoneCount(), 3);
    // The texts are kept beside their pages, and none for the damaged one.
    PageText stored;
    QVERIFY(TextStore::Read(a, 0, &stored));
    QCOMPARE(stored.PlainText(), QString("First page\n"));
    QVERIFY(!QFile::exists(TextStore::TextPath(b)));
    // A page added to the idle queue starts the counts afresh.
    queue.Add(4, c, 0);
    QCOMPARE(recorder.progress.last(), qMakePair(0, 1));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.progress.last(), qMakePair(1, 1), 60000);
}

void TestOcrQueue::takesStoredText_data()
{
    QTest::addColumn<QString>("language"); // of the stored text
    QTest::addColumn<int>("storedAngle");  // the page is added at 0
    QTest::addColumn<QString>("kept");     // "file", or what takes the file's place
    QTest::addColumn<bool>("taken");
    QTest::newRow("same language") << "eng" << 0 << "file" << true;
    QTest::newRow("other language") << "chi_sim+eng" << 0 << "file" << false;
    QTest::newRow("page turned since") << "eng" << 90 << "file" << false;
    QTest::newRow("a link to the stored text") << "eng" << 0 << "link" << false;
    QTest::newRow("a FIFO nobody writes to") << "eng" << 0 << "fifo" << false;
}

// A page whose text is stored is not recognised again; a text of another
// language, or recognised while the page was turned otherwise, is; so is one
// that is no regular file (never read through a link, never waited for).
void TestOcrQueue::takesStoredText()
{
    QFETCH(QString, language);
    QFETCH(int, storedAngle);
    QFETCH(QString, kept);
    QFETCH(bool, taken);
    const QString page =
        WritePage(m_dir.filePath(QString("stored-%1.png").arg(QTest::currentDataTag())), {"Recognised anew"});
    PageText stored;
    stored.pageSize = QImage(page).size();
    stored.language = language;
    stored.paragraphs.append(
        TextParagraph{{TextLine{{TextWord{"Kept", QRect(5, 5, 40, 20), 99}}, QRect(5, 5, 40, 20)}}});
    QVERIFY(TextStore::Write(page, PageStamp::Of(page), storedAngle, stored));
    const QString text = TextStore::TextPath(page);
    if (kept == QLatin1String("link")) {
        QVERIFY(QFile::rename(text, text + ".real") && QFile::link(text + ".real", text));
    } else if (kept == QLatin1String("fifo")) {
        QVERIFY(QFile::remove(text) && mkfifo(QFile::encodeName(text).constData(), 0600) == 0);
    }
    OcrQueue queue;
    queue.SetLanguage(OcrLanguage::English);
    Recorder recorder(&queue);
    queue.Add(7, page, 0);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.deliveries.size(), 1, 60000);
    QVERIFY(recorder.deliveries.first().done);
    QCOMPARE(recorder.deliveries.first().text, QString(taken ? "Kept\n" : "Recognised anew\n"));
}

// A page cancelled while it is recognised is stopped: nothing is delivered
// or stored for it, and the page behind it goes on.
void TestOcrQueue::cancelWhileRecognising()
{
    QStringList many;
    for (int i = 0; i < 40; ++i) {
        many.append(QString("Line %1 of a long page of text").arg(i));
    }
    const QString longPage = WritePage(m_dir.filePath("long.png"), many);
    const QString shortPage = WritePage(m_dir.filePath("short.png"), {"Short page"});
    OcrQueue queue;
    queue.SetLanguage(OcrLanguage::English);
    Recorder recorder(&queue);
    queue.Add(1, longPage, 0);
    queue.Add(2, shortPage, 0);
    QTRY_VERIFY_WITH_TIMEOUT(queue.IsRecognising(1), 60000);
    // The worker runs in the background, ten steps of niceness below the
    // rest of the program, so that the scan loop and the window keep their
    // cores.
    errno = 0;
    const int own = getpriority(PRIO_PROCESS, 0);
    QCOMPARE(errno, 0);
    QCOMPARE(LargestThreadNiceness(), std::min(own + 10, 19));
    queue.Cancel(1);
    QCOMPARE(queue.TotalCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.deliveries.size(), 1, 60000);
    QCOMPARE(recorder.deliveries.first().pageId, quint64(2));
    QCOMPARE(recorder.progress.last(), qMakePair(1, 1));
    QVERIFY(!QFile::exists(TextStore::TextPath(longPage)));
    QTest::qWait(200);
    QCOMPARE(recorder.deliveries.size(), 1);
}

void TestOcrQueue::replacedPage_data()
{
    QTest::addColumn<bool>("started"); // the page is replaced once a worker has it
    QTest::newRow("waiting") << false;
    QTest::newRow("being recognised") << true;
}

// A page added again under its id (re-scanned or turned), while it waits or
// while it is recognised, is recognised once, as it is now.
void TestOcrQueue::replacedPage()
{
    QFETCH(bool, started);
    const int wait = started ? 1 : 0;
    QStringList before;
    for (int i = 0; i < 120; ++i) {
        before.append(QString("Before %1").arg(i));
    }
    const QString first = WritePage(m_dir.filePath(QString("first%1.png").arg(wait)), before);
    const QString second = WritePage(m_dir.filePath(QString("second%1.png").arg(wait)), {"After"});
    OcrQueue queue;
    queue.SetLanguage(OcrLanguage::English);
    queue.SetWorkerCount(2);
    QCOMPARE(queue.WorkerCount(), 2);
    Recorder recorder(&queue);
    queue.Add(5, first, 0);
    if (started) {
        QTRY_VERIFY_WITH_TIMEOUT(queue.IsRecognising(5), 60000);
    }
    queue.Add(5, second, 0);
    QCOMPARE(queue.TotalCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(queue.IsIdle(), 60000);
    QTest::qWait(200);
    QCOMPARE(recorder.deliveries.size(), 1);
    QCOMPARE(recorder.deliveries.first().text, QString("After\n"));
    QVERIFY(!QFile::exists(TextStore::TextPath(first)));
}

// A text that cannot be stored (a full disk) is delivered all the same,
// marked as not stored; the text stored before (in another language) stays
// as it was, and nothing else is left beside the page.
void TestOcrQueue::fullDiskStillDelivers()
{
    const QString page = WritePage(m_dir.filePath("full.png"), {"Disk full"});
    PageText old;
    old.pageSize = QImage(page).size();
    old.language = "chi_sim+eng";
    old.paragraphs.append(
        TextParagraph{{TextLine{{TextWord{"old", QRect(1, 1, 30, 10), 80}}, QRect(1, 1, 30, 10)}}});
    QVERIFY(TextStore::Write(page, PageStamp::Of(page), 0, old));
    const QByteArray before = PageMaker::bytes(TextStore::TextPath(page));
    OcrQueue queue;
    queue.SetLanguage(OcrLanguage::English);
    Recorder recorder(&queue);
    {
        const PageMaker::FileSizeLimit full(16);
        queue.Add(1, page, 0);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.deliveries.size(), 1, 60000);
    }
    QVERIFY(recorder.deliveries.first().done);
    QCOMPARE(recorder.deliveries.first().text, QString("Disk full\n"));
    QVERIFY(!recorder.deliveries.first().stored);
    QCOMPARE(PageMaker::bytes(TextStore::TextPath(page)), before);
    QCOMPARE(QDir(m_dir.path()).entryList({"full*", ".full*"}, QDir::Files | QDir::Hidden),
             QStringList({"full.png", "full.png.text"}));
}

void TestOcrQueue::offDoesNothing()
{
    const QString page = WritePage(m_dir.filePath("off.png"), {"Nothing"});
    OcrQueue queue;
    QCOMPARE(queue.Language(), OcrLanguage::None);
    Recorder recorder(&queue);
    queue.Add(1, page, 0);
    QCOMPARE(queue.TotalCount(), 0);
    // Switched off with pages waiting: they are dropped.
    queue.SetLanguage(OcrLanguage::English);
    queue.Add(2, page, 0);
    queue.Add(3, page, 0);
    queue.SetLanguage(OcrLanguage::None);
    QCOMPARE(queue.TotalCount(), 0);
    QTest::qWait(500);
    QVERIFY(recorder.deliveries.isEmpty());
    QVERIFY(!QFile::exists(TextStore::TextPath(page)));
}

void TestOcrQueue::noEngineMadeWhileHeld_data()
{
    QTest::addColumn<bool>("madeBefore"); // the engine was ready when the hold began
    QTest::newRow("engine made at idle, before the scan") << true;
    QTest::newRow("language chosen during the scan") << false;
}

// A scan holds the engines: the engine is made as soon as the language is
// set, before any page; while held, a page goes to a worker whose engine is
// ready, and no engine is made until the hold ends.
void TestOcrQueue::noEngineMadeWhileHeld()
{
    QFETCH(bool, madeBefore);
    const QString page = WritePage(m_dir.filePath(QString("held%1.png").arg(madeBefore)), {"Held page"});
    OcrQueue queue;
    Recorder recorder(&queue);
    if (madeBefore) {
        queue.SetLanguage(OcrLanguage::English);
        QTRY_COMPARE_WITH_TIMEOUT(queue.EngineCount(), 1, 60000);
        queue.HoldEngines(true);
        queue.Add(1, page, 0);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.deliveries.size(), 1, 60000);
    } else {
        queue.HoldEngines(true);
        queue.SetLanguage(OcrLanguage::English);
        queue.Add(1, page, 0);
        QTest::qWait(1500);
        QCOMPARE(queue.EngineCount(), 0);
        QCOMPARE(recorder.deliveries.size(), 0);
        queue.HoldEngines(false);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.deliveries.size(), 1, 60000);
    }
    QCOMPARE(recorder.deliveries.first().text, QString("Held page\n"));
    QCOMPARE(queue.EngineCount(), 1);
}

QTEST_MAIN(TestOcrQueue)
#include "tst_ocrqueue.moc"
