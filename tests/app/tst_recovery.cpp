#include "imageviewwidget.h"
#include "mainwindow.h"
#include "pagefile.h"
#include "pageturn.h"
#include "sessioncheck.h"
#include "windowfixture.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QRandomGenerator>
#include <QtTest>

namespace {

const int kDpi = 50;
const QString kQuestion = QStringLiteral("发现上次未保存的 %1 张图像，是否恢复？");
const QString kDamagedQuestion = QStringLiteral("发现上次未保存的 %1 张图像（其中 %2 张已损坏），是否恢复？");

// What the user sees of one page: its file and the sheet marker it shows
// ("2A", "2A@90" once turned right; "interrupted" for a cut-off page).
struct ModelPage {
    QString file;
    QString reading;
};

QString TurnedRight(const QString& reading)
{
    if (reading == QLatin1String("interrupted")) {
        return reading; // nothing to turn
    }
    const int at = reading.indexOf(QLatin1Char('@'));
    const QString marker = at < 0 ? reading : reading.left(at);
    const int angle = ((at < 0 ? 0 : reading.mid(at + 1).toInt()) + 90) % 360;
    return angle == 0 ? marker : QStringLiteral("%1@%2").arg(marker).arg(angle);
}

} // namespace

// A session is killed and the program started again on the same folders:
// answering 是 brings the page list back as it was (files, order, also after
// 上移 and 下移, orientation, current page, file numbering), the pages that
// never completed or were damaged as interrupted ones; 否 leaves nothing to
// bring back, Esc leaves everything for the next start. The user's actions
// are followed by a small model of the page list.
class TestRecovery : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void killedSession();
    void cyclesWithDigitPrefix();
    void damagedPagesAndEscape();
    void unwritableJournal();
    void killedAfterSave();

private:
    void Restart(QMessageBox::StandardButton answer = QMessageBox::Yes);
    // The same, with the start-up that finds the scanner, ready to scan.
    void RestartScanning();
    // The question that a restart with the model's pages asks.
    QString Question() const;
    // "删除" on every interrupted page (a save refuses them).
    void DeleteInterrupted();
    void Configure(int format);
    bool Scan(const char* action, const QString& scenario);
    void Select(int row);
    QString Step(QRandomGenerator& random, int kind);
    void CompareWithModel(const QString& trail);
    QString NextFile()
    {
        return m_fx->ScanDir() +
               QStringLiteral("/%1%2.jpg").arg(m_prefix).arg(m_next++, 4, 10, QLatin1Char('0'));
    }
    QStringList FilesUnder(const QString& dir) const;

    QScopedPointer<WindowFixture> m_fx;
    QList<ModelPage> m_pages;
    int m_current = 0;
    int m_next = 1;
    int m_load = 0;
    QString m_prefix;
    QStringList m_escaped;
};

void TestRecovery::initTestCase()
{
    m_pages.clear();
    m_current = 0;
    m_next = 1;
    m_fx.reset(new WindowFixture);
    Configure(3);
    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    QVERIFY(m_fx->Start());
    m_fx->SetResolution(kDpi);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
}

void TestRecovery::cleanupTestCase()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

void TestRecovery::Configure(int format)
{
    m_fx->Configure({{QStringLiteral("Scanner/FilePath"), m_fx->home->path() + QStringLiteral("/out")},
                     {QStringLiteral("Scanner/FileFormat"), QString::number(format)}});
}

// The old process ends without any clean-up (its window is torn down as a
// kill would leave it: no close, no question), a new one starts on the same
// home and temporary folders (only the window: no scan follows).
void TestRecovery::Restart(QMessageBox::StandardButton answer)
{
    QScopedPointer<WindowFixture> next(new WindowFixture);
    next->home.swap(m_fx->home);
    next->tmp.swap(m_fx->tmp);
    m_fx.reset(next.take());
    m_fx->answerer.SetAnswer(answer);
    // Esc on the question, pressed as the user presses it (the answerer only
    // looks); the question's text is kept as the answerer keeps it.
    QTimer escape;
    escape.setInterval(20);
    QObject::connect(&escape, &QTimer::timeout, [this, &escape] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            escape.stop();
            m_escaped << box->text();
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    if (answer == QMessageBox::Escape) {
        m_fx->answerer.SetPassive(true);
        escape.start();
    }
    m_fx->window = new MainWindow(m_fx->home->path(), m_fx->tmp->path() + QStringLiteral("/zir/scanvy"));
    WindowFixture* fx = m_fx.data();
    QObject::connect(fx->window.data(), &MainWindow::sglJobDone, [fx] { ++fx->jobsDone; });
    m_fx->window->show();
    if (answer == QMessageBox::Escape) {
        QTRY_COMPARE(m_escaped.size(), 1);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        m_fx->answerer.SetPassive(false);
        m_fx->answerer.texts = m_escaped;
        m_escaped.clear();
    } else {
        QTRY_COMPARE(m_fx->window->PendingRecoveryCount(), 0);
    }
    QTest::qWait(20);
}

void TestRecovery::RestartScanning()
{
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
    QTest::qWait(20);
}

QString TestRecovery::Question() const
{
    int damaged = 0;
    for (const ModelPage& page : m_pages)
        damaged += page.reading == QLatin1String("interrupted") ? 1 : 0;
    return damaged == 0 ? kQuestion.arg(m_pages.size()) : kDamagedQuestion.arg(m_pages.size()).arg(damaged);
}

bool TestRecovery::Scan(const char* action, const QString& scenario)
{
    WindowFixture::WriteScenario(scenario + QStringLiteral("\nsource=Adf-front\nload=%1").arg(++m_load));
    auto* act = m_fx->Child<QAction>(action);
    if (!act || !act->isEnabled()) {
        qWarning("action %s not usable", action);
        return false;
    }
    act->trigger();
    return m_fx->WaitJobDone();
}

void TestRecovery::Select(int row)
{
    m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(row);
    m_current = row;
}

// One user action (drawn, or the one asked for), applied to the window and
// to the model.
QString TestRecovery::Step(QRandomGenerator& random, int kind)
{
    const int count = m_pages.size();
    const int sheets = 1 + int(random.bounded(3));
    auto sheetsOf = [](int n, const QString& extra = QString()) {
        return QStringLiteral("sheets=%1\n").arg(n) + extra;
    };
    if (kind == 0) {
        if (!Scan("actionScanToLast", sheetsOf(sheets)))
            return QStringLiteral("scan to last failed");
        for (int i = 1; i <= sheets; ++i) {
            m_pages.append({NextFile(), QStringLiteral("%1A").arg(i)});
        }
        m_current = m_pages.size() - 1;
        return QStringLiteral("last+%1").arg(sheets);
    }
    if (kind == 1 || kind == 2) {
        Select(int(random.bounded(count)));
        const bool before = kind == 1;
        if (!Scan(before ? "actionScantoPrev" : "actionScanToNext", sheetsOf(sheets)))
            return QStringLiteral("insert failed");
        const int at = before ? m_current : m_current + 1;
        for (int i = 1; i <= sheets; ++i) {
            m_pages.insert(at + i - 1, {NextFile(), QStringLiteral("%1A").arg(i)});
        }
        if (before)
            m_current += sheets;
        return QStringLiteral("%1@%2+%3").arg(before ? "before" : "after").arg(at).arg(sheets);
    }
    if (kind == 3) {
        Select(int(random.bounded(count)));
        if (!Scan("actionScanReplace", sheetsOf(1)))
            return QStringLiteral("replace failed");
        m_pages[m_current] = {NextFile(), QStringLiteral("1A")};
        return QStringLiteral("replace@%1").arg(m_current);
    }
    if (kind == 4) {
        const int row = int(random.bounded(count));
        Select(row);
        m_fx->Child<QAction>("actionDelete")->trigger();
        m_pages.removeAt(row);
        if (m_pages.isEmpty()) {
            m_current = 0;
        } else if (row != 0) {
            m_current = m_pages.size() <= row + 1 ? m_pages.size() - 1 : row;
        }
        return QStringLiteral("delete@%1").arg(row);
    }
    if (kind == 5) {
        const int row = int(random.bounded(count));
        Select(row);
        m_fx->Child<QAction>("actionRotateRight")->trigger();
        // A turn is done when the action returns: no job, no busy overlay.
        if (m_fx->window->JobRunning())
            return QStringLiteral("rotation runs as a job");
        m_pages[row].reading = TurnedRight(m_pages[row].reading);
        return QStringLiteral("rotate@%1").arg(row);
    }
    if (kind == 7) {
        // "上移" or "下移" of one page; a page at the edge stays.
        if (count == 0)
            return QStringLiteral("nothing to move");
        const int row = int(random.bounded(count));
        Select(row);
        const bool up = random.bounded(2) == 0;
        m_fx->Child<QAction>(up ? "actionMoveUp" : "actionMoveDown")->trigger();
        const int to = up ? row - 1 : row + 1;
        if (to >= 0 && to < count) {
            m_pages.move(row, to);
            m_current = to;
        }
        return QStringLiteral("%1@%2").arg(up ? "up" : "down").arg(row);
    }
    // A jam half-way through the last sheet: the pages before it stay, the
    // cut-off one is listed as interrupted.
    if (!Scan("actionScanToLast",
              sheetsOf(sheets, QStringLiteral("error=jam\nerror-sheet=%1").arg(sheets)))) {
        return QStringLiteral("jam scan failed");
    }
    for (int i = 1; i <= sheets; ++i) {
        m_pages.append(
            {NextFile(), i < sheets ? QStringLiteral("%1A").arg(i) : QStringLiteral("interrupted")});
    }
    m_current = m_pages.size() - 1;
    return QStringLiteral("jam+%1").arg(sheets);
}

void TestRecovery::CompareWithModel(const QString& trail)
{
    const QByteArray where = trail.toUtf8();
    // Every page comes back, interrupted ones too (they show no marker and
    // have no complete file); the current page is the one that was current.
    const QList<ModelPage> expected = m_pages;
    const int current = m_current;

    QStringList files;
    QStringList readings;
    for (const ModelPage& page : qAsConst(expected)) {
        files << page.file;
        const bool interrupted = page.reading == QLatin1String("interrupted");
        readings << (interrupted ? QStringLiteral("?") : page.reading);
        QVERIFY2(IsPageComplete(page.file) != interrupted,
                 qPrintable(trail + QStringLiteral(" ") + page.file));
    }
    // Each page as it is shown and saved: its file turned by its angle.
    QStringList shown;
    for (const Page& page : m_fx->View()->Pages()->Pages())
        shown << SessionCheck::Reading(TurnImage(QImage(page.path), page.angle), kDpi);
    QVERIFY2(m_fx->window->PageFiles() == files, where.constData());
    QVERIFY2(shown == readings, qPrintable(trail + QStringLiteral(" shows ") + shown.join(' ')));
    QVERIFY2(m_fx->View()->GetPagePaths().toList() == files, where.constData());
    QVERIFY2(m_fx->Child<QAbstractItemView>("lwImgThumbnail")->model()->rowCount() == files.size(),
             where.constData());
    if (!files.isEmpty()) {
        QVERIFY2(m_fx->View()->GetCurrentIndex() == current, where.constData());
        QVERIFY2(m_fx->JumpItems().size() == files.size(), where.constData());
        QVERIFY2(m_fx->Child<QAction>("actionSave")->isEnabled(), where.constData());
    }
    QVERIFY2(m_fx->LabelText("lblImgInfo") == QStringLiteral("当前图像数量：%1").arg(files.size()),
             where.constData());
    QVERIFY2(m_fx->window->ScanNumber() == m_next, where.constData());
}

QStringList TestRecovery::FilesUnder(const QString& dir) const
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(dir.size() + 1);
    return files;
}

// One session killed twice after actions at random places (a fixed seed),
// going on from the recovered page list (file numbering included); meanwhile a second window on the
// running session's folder (a copy that slipped past the instance guard)
// leaves its pages alone. Then a save fails and the process is killed: the
// pages are offered; 否 empties the folder and the question is not asked
// again.
void TestRecovery::killedSession()
{
    QRandomGenerator random(1);
    QString trail = QStringLiteral("seed 1:");
    // Before the first kill every kind of action, a jam among them (a page
    // that must not come back); after it only what needs no scanner. Each
    // part ends with a page moved, which must come back in its place.
    const QList<QList<int>> kinds = {{0, 6, 1, 2, 3, 5, 7}, {4, 5, 7, 7}};
    for (int round = 0; round < 2; ++round) {
        for (int kind : kinds.at(round))
            trail += QLatin1Char(' ') + Step(random, kind);
        if (round == 1) {
            const QList<QString> pages = m_fx->window->PageFiles();
            QList<bool> complete;
            for (const QString& page : pages)
                complete << IsPageComplete(page);
            {
                MainWindow second(m_fx->home->path(), m_fx->tmp->path() + QStringLiteral("/zir/scanvy"));
                // It works in a private folder of its own.
                QVERIFY(second.WorkDir().startsWith(m_fx->window->WorkDir() + QLatin1Char('-')));
                QCOMPARE(second.PendingRecoveryCount(), 0);
            }
            QCOMPARE(m_fx->window->PageFiles(), pages);
            for (int i = 0; i < pages.size(); ++i)
                QCOMPARE(IsPageComplete(pages.at(i)), complete.at(i));
        }
        const QString question = Question();
        trail += QStringLiteral(" | kill");
        Restart();
        QCOMPARE(m_fx->answerer.texts, m_pages.isEmpty() ? QStringList() : QStringList{question});
        CompareWithModel(trail);
        m_fx->answerer.texts.clear();
        m_fx->answerer.titles.clear();
    }

    DeleteInterrupted();
    const int pages = m_fx->window->PageFiles().size();
    QVERIFY(pages > 0);
    QFile blocker(m_fx->home->path() + QStringLiteral("/out")); // where the save folder should be
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    m_fx->Child<QAction>("actionSave")->trigger();
    QTRY_COMPARE(m_fx->answerer.titles, QStringList{"错误"});
    QTRY_VERIFY(!m_fx->window->JobRunning());
    QCOMPARE(m_fx->window->PageFiles().size(), pages);
    m_fx->answerer.texts.clear();
    Restart(QMessageBox::No);
    QCOMPARE(m_fx->answerer.texts, QStringList{kQuestion.arg(pages)});
    QCOMPARE(m_fx->window->PageFiles(), QList<QString>());
    // Only the journal is left, with the numbering and no page.
    QCOMPARE(FilesUnder(m_fx->window->WorkDir()), QStringList{"session.json"});
    m_fx->answerer.texts.clear();
    Restart();
    QCOMPARE(m_fx->answerer.texts, QStringList());
}

void TestRecovery::DeleteInterrupted()
{
    for (int row = m_pages.size() - 1; row >= 0; --row) {
        if (m_pages.at(row).reading != QLatin1String("interrupted"))
            continue;
        Select(row);
        m_fx->Child<QAction>("actionDelete")->trigger();
        m_pages.removeAt(row);
    }
    m_current = m_fx->View()->GetCurrentIndex();
    m_fx->answerer.texts.clear();
    m_fx->answerer.titles.clear();
}

// A prefix ending in digits and a converter's leftover named by a 17-digit
// stamp in the page folder: cycles of scan, kill and 是 never take the
// leftover for a page, never move the numbering away from the journal's and
// never scan over a page that was shown.
void TestRecovery::cyclesWithDigitPrefix()
{
    m_pages.clear();
    m_current = 0;
    m_fx->Configure({{QStringLiteral("Scanner/Prefix"), QStringLiteral("2024")}});
    RestartScanning();
    m_prefix = QStringLiteral("2024");
    m_next = m_fx->window->ScanNumber();
    QVERIFY(QDir().mkpath(m_fx->ScanDir()));
    const QString leftover = m_fx->ScanDir() + QStringLiteral("/20241207140000123.tiff");
    {
        QFile file(leftover);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a page") > 0);
    }
    QRandomGenerator random(2);
    QString trail = QStringLiteral("seed 2, prefix 2024:");
    for (int cycle = 0; cycle < 3; ++cycle) {
        trail += QLatin1Char(' ') + Step(random, 0);
        QVERIFY2(m_fx->window->PageFiles().size() == m_pages.size(), qPrintable(trail));
        const QString question = Question();
        trail += QStringLiteral(" | kill");
        RestartScanning();
        QCOMPARE(m_fx->answerer.texts, QStringList{question});
        m_fx->answerer.texts.clear();
        CompareWithModel(trail);
        QVERIFY(QFile::exists(leftover));
    }
}

// Pages damaged on disk (an empty file, a cut-off JPEG) are named in the
// question and come back as interrupted pages, ready to be replaced. Esc on
// the question keeps everything, journal included, for the next start.
void TestRecovery::damagedPagesAndEscape()
{
    QVERIFY(m_pages.size() >= 3);
    {
        QFile empty(m_pages.at(0).file);
        QVERIFY(empty.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QFile cut(m_pages.at(2).file);
        QVERIFY(cut.open(QIODevice::ReadWrite));
        QVERIFY(cut.resize(cut.size() / 2));
    }
    m_pages[0].reading = QStringLiteral("interrupted");
    m_pages[2].reading = QStringLiteral("interrupted");
    const QString question = Question();
    QVERIFY(question.contains(QStringLiteral("其中 2 张已损坏")));
    const QString journal = m_fx->window->WorkDir() + QStringLiteral("/session.json");
    Restart(QMessageBox::Escape);
    QCOMPARE(m_fx->answerer.texts, QStringList{question});
    m_fx->answerer.texts.clear();
    QCOMPARE(m_fx->window->PageFiles(), QList<QString>());
    QVERIFY(QFile::exists(journal));
    for (const ModelPage& page : qAsConst(m_pages))
        QVERIFY2(QFile::exists(page.file) || QFile::exists(PartialPagePath(page.file)),
                 qPrintable(page.file));

    RestartScanning();
    QCOMPARE(m_fx->answerer.texts, QStringList{question});
    m_fx->answerer.texts.clear();
    CompareWithModel(QStringLiteral("damaged, Esc, 是"));

    // An interrupted page is replaced by a new scan of it.
    Select(0);
    QVERIFY(Scan("actionScanReplace", QStringLiteral("sheets=1\n")));
    m_pages[0] = {NextFile(), QStringLiteral("1A")};
    QCOMPARE(m_fx->window->PageFiles().first(), m_pages.first().file);
    QVERIFY(IsPageComplete(m_pages.first().file));
}

// The journal cannot be written (its folder is gone): the window says so
// once in its status row, without a box, and says when it works again.
void TestRecovery::unwritableJournal()
{
    QVERIFY(m_pages.size() >= 2);
    const QString work = m_fx->window->WorkDir();
    const QString away = work + QStringLiteral("-away");
    QVERIFY(QDir().rename(work, away));
    Select(1);
    m_fx->Child<QAction>("actionMoveUp")->trigger();
    m_pages.move(1, 0);
    QTRY_VERIFY(m_fx->window->findChild<QLabel*>(QStringLiteral("lblJournalNote")));
    QTRY_COMPARE(m_fx->LabelText("lblJournalNote"), QStringLiteral("无法保存恢复记录：工作文件夹已不存在"));
    QVERIFY(m_fx->Child<QLabel>("lblJournalNote")->isVisible());
    m_fx->Child<QAction>("actionMoveDown")->trigger();
    m_pages.move(0, 1);
    QTest::qWait(100);
    QCOMPARE(m_fx->answerer.texts, QStringList());
    QVERIFY(QDir().rename(away, work));
    m_fx->Child<QAction>("actionMoveUp")->trigger();
    m_pages.move(1, 0);
    m_current = 0;
    QTRY_COMPARE(m_fx->LabelText("lblJournalNote"), QStringLiteral("恢复记录已恢复正常保存"));

    const QString question = Question();
    Restart();
    QCOMPARE(m_fx->answerer.texts, QStringList{question});
    m_fx->answerer.texts.clear();
    CompareWithModel(QStringLiteral("journal unwritable, then written"));
}

// A save, then the process is killed: the saved pages are not offered
// again and the stored counter has moved on.
void TestRecovery::killedAfterSave()
{
    DeleteInterrupted();
    QFile::remove(m_fx->home->path() + QStringLiteral("/out"));
    QVERIFY(QDir().mkpath(m_fx->home->path() + QStringLiteral("/out")));
    const int counter = m_fx->Setting(QStringLiteral("Scanner/ScanCount")).toInt();
    QVERIFY(!m_fx->window->PageFiles().isEmpty());
    m_fx->Child<QAction>("actionSave")->trigger();
    QTRY_VERIFY(!m_fx->window->JobRunning());
    QTRY_COMPARE(m_fx->window->PageFiles(), QList<QString>());
    const int stored = m_fx->Setting(QStringLiteral("Scanner/ScanCount")).toInt();
    QVERIFY2(stored > counter, qPrintable(QStringLiteral("%1 -> %2").arg(counter).arg(stored)));
    QCOMPARE(FilesUnder(m_fx->ScanDir()), QStringList());
    m_fx->answerer.texts.clear();
    m_fx->answerer.titles.clear();
    Restart();
    QCOMPARE(m_fx->answerer.texts, QStringList());
    QCOMPARE(m_fx->window->PageFiles(), QList<QString>());
    QCOMPARE(m_fx->Setting(QStringLiteral("Scanner/ScanCount")).toInt(), stored);
    QCOMPARE(m_fx->window->ScanNumber(), m_next);
}

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
