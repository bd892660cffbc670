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

// A session is killed at any point and the program started again on the
// same folders: answering 是 brings the page list back as it was (files,
// order, also after 上移 and 下移, orientation, current page, file numbering),
// without the pages that never completed; 否, a clean exit, a save and "清除全部" leave nothing to
// bring back. The user's actions are drawn at random from a seed and
// followed by a small model of the page list.
class TestRecovery : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void randomSessions_data();
    void randomSessions();
    void endings_data();
    void endings();
    void declined();
    void runningSessionKeepsItsFolder();

private:
    void Restart(QMessageBox::StandardButton answer = QMessageBox::Yes);
    void RestartWithoutScanner(QMessageBox::StandardButton answer = QMessageBox::Yes);
    void Configure(int format);
    bool Scan(const char* action, const QString& scenario);
    void Select(int row);
    QString Step(QRandomGenerator& random, int kind = -1);
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

void TestRecovery::init()
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

void TestRecovery::cleanup()
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
// home and temporary folders.
void TestRecovery::Restart(QMessageBox::StandardButton answer)
{
    QScopedPointer<WindowFixture> next(new WindowFixture);
    next->home.swap(m_fx->home);
    next->tmp.swap(m_fx->tmp);
    m_fx.reset(next.take());
    m_fx->answerer.SetAnswer(answer);
    WindowFixture::WriteScenario(QStringLiteral("sheets=0"));
    QVERIFY(m_fx->Start());
    m_fx->SetResolution(kDpi);
    QVERIFY(m_fx->SetPanelCombo("cmMode", QStringLiteral("Color")));
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
}

// The same, but only the window (no start-up job): enough where no scan
// follows, and much quicker.
void TestRecovery::RestartWithoutScanner(QMessageBox::StandardButton answer)
{
    QScopedPointer<WindowFixture> next(new WindowFixture);
    next->home.swap(m_fx->home);
    next->tmp.swap(m_fx->tmp);
    m_fx.reset(next.take());
    m_fx->answerer.SetAnswer(answer);
    m_fx->window = new MainWindow(m_fx->home->path(), m_fx->tmp->path() + QStringLiteral("/zir/scanvy"));
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
    if (kind < 0) {
        kind = count == 0 ? 0 : int(random.bounded(8));
    }
    const int sheets = 1 + int(random.bounded(3));
    auto sheetsOf = [](int n, const QString& extra = QString()) {
        return QStringLiteral("sheets=%1\n").arg(n) + extra;
    };
    if (kind == 0) {
        const int before = m_pages.size();
        if (!Scan("actionScanToLast", sheetsOf(sheets))) {
            return QStringLiteral("scan to last failed");
        }
        for (int i = 1; i <= sheets; ++i) {
            m_pages.append({NextFile(), QStringLiteral("%1A").arg(i)});
        }
        m_current = m_pages.size() - 1;
        Q_UNUSED(before)
        return QStringLiteral("last+%1").arg(sheets);
    }
    if (kind == 1 || kind == 2) {
        Select(int(random.bounded(count)));
        const bool before = kind == 1;
        if (!Scan(before ? "actionScantoPrev" : "actionScanToNext", sheetsOf(sheets))) {
            return QStringLiteral("insert failed");
        }
        const int at = before ? m_current : m_current + 1;
        for (int i = 1; i <= sheets; ++i) {
            m_pages.insert(at + i - 1, {NextFile(), QStringLiteral("%1A").arg(i)});
        }
        if (before) {
            m_current += sheets;
        }
        return QStringLiteral("%1@%2+%3").arg(before ? "before" : "after").arg(at).arg(sheets);
    }
    if (kind == 3) {
        Select(int(random.bounded(count)));
        if (!Scan("actionScanReplace", sheetsOf(1))) {
            return QStringLiteral("replace failed");
        }
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
        m_pages[row].reading = TurnedRight(m_pages[row].reading);
        return QStringLiteral("rotate@%1").arg(row);
    }
    if (kind == 7) {
        // "上移" or "下移" of one page; a page at the edge stays.
        if (count == 0) {
            return QStringLiteral("nothing to move");
        }
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
        if (m_pages.at(i).reading == QLatin1String("interrupted")) {
            continue;
        }
        if (i >= m_current && current < 0) {
            current = expected.size();
        }
        expected.append(m_pages.at(i));
    }
    if (current < 0) {
        current = qMax(0, expected.size() - 1);
    }
    m_pages = expected;
    m_current = current;

    QStringList files;
    QStringList readings;
    for (const ModelPage& page : qAsConst(expected)) {
        files << page.file;
        readings << page.reading;
    }
    QStringList shown;
    for (const QString& file : m_fx->window->PageFiles()) {
        shown << SessionCheck::Reading(QImage(file), kDpi);
    }
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

void TestRecovery::randomSessions_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u}) {
        QTest::addRow("seed %u", seed) << seed;
    }
}

// Killed after a few random actions, twice per session; the second part
// goes on from the recovered page list.
void TestRecovery::randomSessions()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    QString trail = QStringLiteral("seed %1:").arg(seed);
    for (int round = 0; round < 2; ++round) {
        const int steps = 3 + int(random.bounded(3));
        for (int i = 0; i < steps; ++i) {
            // Every first part has a jam: a page that must not come back; every
            // part ends with a page moved, which must come back in its place.
            const int kind = round == 0 && i == 1 ? 6 : (i == steps - 1 ? 7 : -1);
            trail += QLatin1Char(' ') + Step(random, kind);
        }
        int complete = 0;
        for (const ModelPage& page : qAsConst(m_pages)) {
            complete += page.reading == QLatin1String("interrupted") ? 0 : 1;
        }
        trail += QStringLiteral(" | kill");
        if (round == 0) {
            Restart();
        } else {
            RestartWithoutScanner();
        }
        QCOMPARE(m_fx->answerer.texts, complete == 0 ? QStringList() : QStringList{kQuestion.arg(complete)});
        CompareWithModel(trail);
        m_fx->answerer.texts.clear();
    }
}

void TestRecovery::endings_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("offered");

    QTest::newRow("killed after a failed save") << "failed save" << true;
    QTest::newRow("closed, exit confirmed") << "close" << false;
    QTest::newRow("saved") << "save" << false;
    QTest::newRow("清除全部") << "broom" << false;
    QTest::newRow("every page deleted") << "delete all" << false;
}

// How a session ends decides whether its pages are offered back.
void TestRecovery::endings()
{
    QFETCH(QString, ending);
    QFETCH(bool, offered);

    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=3")));
    const QString out = m_fx->home->path() + QStringLiteral("/out");
    if (ending == QLatin1String("failed save")) {
        // A file where the save folder should be: the save cannot succeed.
        QFile blocker(out);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    if (ending == QLatin1String("close")) {
        m_fx->window->close();
        QTRY_VERIFY(!m_fx->window);
    } else if (ending == QLatin1String("save") || ending == QLatin1String("failed save")) {
        m_fx->Child<QAction>("actionSave")->trigger();
        QVERIFY(m_fx->WaitJobDone());
        QCOMPARE(m_fx->window->PageFiles().isEmpty(), ending == QLatin1String("save"));
    } else if (ending == QLatin1String("broom")) {
        m_fx->Child<QAction>("actionBroom")->trigger();
    } else if (ending == QLatin1String("delete all")) {
        m_fx->Child<QAction>("actionSelectAll")->trigger();
        m_fx->Child<QAction>("actionDelete")->trigger();
        QCOMPARE(m_fx->window->PageFiles(), QList<QString>());
    }
    m_fx->answerer.texts.clear();
    RestartWithoutScanner();
    QCOMPARE(m_fx->answerer.texts, offered ? QStringList{kQuestion.arg(3)} : QStringList());
    QCOMPARE(m_fx->window->PageFiles().size(), offered ? 3 : 0);
    if (!offered) {
        // Nothing of the session is left in the private folder.
        QCOMPARE(FilesUnder(m_fx->window->WorkDir()), QStringList());
    }
}

QStringList TestRecovery::FilesUnder(const QString& dir) const
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next().mid(dir.size() + 1);
    }
    return files;
}

// 否 empties the folder as a normal start does; the question is not asked
// again, and new pages are numbered on.
void TestRecovery::declined()
{
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=2")));
    RestartWithoutScanner(QMessageBox::No);
    QCOMPARE(m_fx->answerer.texts, QStringList{kQuestion.arg(2)});
    QCOMPARE(m_fx->window->PageFiles(), QList<QString>());
    QCOMPARE(FilesUnder(m_fx->window->WorkDir()), QStringList());
    m_fx->answerer.texts.clear();
    RestartWithoutScanner();
    QCOMPARE(m_fx->answerer.texts, QStringList());
}

// A second window on the folder of a running session (another copy of the
// program that slipped past the instance guard) leaves that session's pages
// alone and does not reuse their file names.
void TestRecovery::runningSessionKeepsItsFolder()
{
    QVERIFY(Scan("actionScanToLast", QStringLiteral("sheets=2")));
    const QList<QString> pages = m_fx->window->PageFiles();
    {
        MainWindow second(m_fx->home->path(), m_fx->tmp->path() + QStringLiteral("/zir/scanvy"));
        QCOMPARE(second.WorkDir(), m_fx->window->WorkDir());
        QCOMPARE(second.PendingRecoveryCount(), 0);
        QVERIFY(second.ScanNumber() > 2);
    }
    for (const QString& page : pages) {
        QVERIFY2(IsPageComplete(page), qPrintable(page));
    }
    QCOMPARE(m_fx->window->PageFiles(), pages);
}

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
