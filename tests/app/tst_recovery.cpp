#include "imageviewwidget.h"
#include "mainwindow.h"
#include "pagefile.h"
#include "sessioncheck.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QListWidget>
#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

namespace {

const int kDpi = 50;
const QString kQuestion = QStringLiteral("发现上次未保存的 %1 张图像，是否恢复？");

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
// 上移 and 下移, orientation, current page, file numbering), without the pages
// that never completed; 否 leaves nothing to bring back. The user's actions
// are followed by a small model of the page list.
class TestRecovery : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void killedSession();

private:
    void Restart(QMessageBox::StandardButton answer = QMessageBox::Yes);
    void Configure(int format);
    bool Scan(const char* action, const QString& scenario);
    void Select(int row);
    QString Step(QRandomGenerator& random, int kind);
    void CompareWithModel(const QString& trail);
    QString NextFile()
    {
        return m_fx->ScanDir() + QStringLiteral("/%1.jpg").arg(m_next++, 4, 10, QLatin1Char('0'));
    }
    QStringList FilesUnder(const QString& dir) const;

    QScopedPointer<WindowFixture> m_fx;
    QList<ModelPage> m_pages;
    int m_current = 0;
    int m_next = 1;
    int m_load = 0;
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
    QSettings ini(m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini"),
                  QSettings::IniFormat);
    ini.setValue(QStringLiteral("Scanner/FilePath"), m_fx->home->path() + QStringLiteral("/out"));
    ini.setValue(QStringLiteral("Scanner/FileFormat"), QString::number(format));
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
    m_fx->window = new MainWindow(m_fx->home->path(), m_fx->tmp->path() + QStringLiteral("/zir/scanvy"));
    WindowFixture* fx = m_fx.data();
    QObject::connect(fx->window.data(), &MainWindow::sglJobDone, [fx] { ++fx->jobsDone; });
    m_fx->window->show();
    QTRY_COMPARE(m_fx->window->PendingRecoveryCount(), 0);
    QTest::qWait(20);
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
        if (!m_fx->WaitJobDone())
            return QStringLiteral("rotation did not end");
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
    // Pages that never completed do not come back; the current page is the
    // one that was current, or the next one that came back.
    QList<ModelPage> expected;
    int current = -1;
    for (int i = 0; i < m_pages.size(); ++i) {
        if (m_pages.at(i).reading == QLatin1String("interrupted"))
            continue;
        if (i >= m_current && current < 0)
            current = expected.size();
        expected.append(m_pages.at(i));
    }
    if (current < 0)
        current = qMax(0, expected.size() - 1);
    m_pages = expected;
    m_current = current;

    QStringList files;
    QStringList readings;
    for (const ModelPage& page : qAsConst(expected)) {
        files << page.file;
        readings << page.reading;
    }
    QStringList shown;
    for (const QString& file : m_fx->window->PageFiles())
        shown << SessionCheck::Reading(QImage(file), kDpi);
    QVERIFY2(m_fx->window->PageFiles() == files, where.constData());
    QVERIFY2(shown == readings, qPrintable(trail + QStringLiteral(" shows ") + shown.join(' ')));
    QVERIFY2(m_fx->View()->GetPagePaths().toList() == files, where.constData());
    QVERIFY2(m_fx->Child<QListWidget>("lwImgThumbnail")->count() == files.size(), where.constData());
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
        int complete = 0;
        for (const ModelPage& page : qAsConst(m_pages))
            complete += page.reading == QLatin1String("interrupted") ? 0 : 1;
        trail += QStringLiteral(" | kill");
        Restart();
        QCOMPARE(m_fx->answerer.texts, complete == 0 ? QStringList() : QStringList{kQuestion.arg(complete)});
        CompareWithModel(trail);
        m_fx->answerer.texts.clear();
        m_fx->answerer.titles.clear();
    }

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
    QCOMPARE(FilesUnder(m_fx->window->WorkDir()), QStringList());
    m_fx->answerer.texts.clear();
    Restart();
    QCOMPARE(m_fx->answerer.texts, QStringList());
}

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
