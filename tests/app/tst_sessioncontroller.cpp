// The session controller on its own: a session records its page list, ends
// in one of several ways, and the next session in the same work folder is
// compared with what the first one last had.
#include "sessioncontroller.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
QString PagePath(const QString& workDir, int number)
{
    return workDir + QStringLiteral("/scanimages/page%1.jpg").arg(number, 4, 10, QLatin1Char('0'));
}
} // namespace

class TestSessionController : public QObject {
    Q_OBJECT
private slots:
    void restartAfter_data();
    void restartAfter();
    void secondSessionInTheSameFolder();
};

void TestSessionController::restartAfter_data()
{
    // Actions of the first session: "add" scans one page at the end,
    // "del I" deletes page I, "mv I" swaps pages I and I+1, "cur I" makes
    // page I current; then it ends by
    // "crash" (the process goes away), "end" (a normal end) or "saved"
    // (the pages are saved, nothing to bring back) followed by a crash.
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("offered");

    QTest::newRow("three pages, crash") << QStringList{"add", "add", "add"} << "crash" << true;
    QTest::newRow("delete, crash") << QStringList{"add", "add", "add", "del 1"} << "crash" << true;
    QTest::newRow("delete the current last page, crash")
        << QStringList{"add", "add", "add", "cur 2", "del 2"} << "crash" << true;
    QTest::newRow("reorder, crash") << QStringList{"add", "add", "add", "mv 0", "mv 1"} << "crash" << true;
    QTest::newRow("delete every page, crash")
        << QStringList{"add", "add", "del 0", "del 0"} << "crash" << false;
    QTest::newRow("normal end") << QStringList{"add", "add"} << "end" << false;
    QTest::newRow("saved, crash") << QStringList{"add", "add"} << "saved" << false;
    QTest::newRow("nothing scanned, crash") << QStringList{} << "crash" << false;
}

void TestSessionController::restartAfter()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, ending);
    QFETCH(bool, offered);
    QTemporaryDir dir;
    const QString work = dir.filePath(QStringLiteral("work"));
    QDir().mkpath(work + QStringLiteral("/scanimages"));

    // The model: what the first session last showed.
    SessionJournal::State model;
    auto first = std::make_unique<SessionController>(work);
    model.scanNumber = first->Prepare(1);
    QCOMPARE(model.scanNumber, 1);
    QVERIFY(first->Recording());
    for (const QString& action : qAsConst(actions)) {
        const int arg = action.section(QLatin1Char(' '), 1).toInt();
        if (action == QLatin1String("add")) {
            QFile page(PagePath(work, model.scanNumber++));
            QVERIFY(page.open(QIODevice::WriteOnly) && page.write("page") == 4);
            page.close();
            model.pages.append(page.fileName());
        } else if (action.startsWith(QLatin1String("del"))) {
            QVERIFY(QFile::remove(model.pages.takeAt(arg)));
            model.current = qBound(0, model.current, std::max(0, int(model.pages.size()) - 1));
        } else if (action.startsWith(QLatin1String("mv"))) {
            model.pages.swapItemsAt(arg, arg + 1);
        } else if (action.startsWith(QLatin1String("cur"))) {
            model.current = arg;
        }
        first->Record(model);
    }
    if (ending == QLatin1String("end")) {
        first->EndCleanly();
    } else if (ending == QLatin1String("saved")) {
        first->Discard();
    }
    first.reset();

    SessionController second(work);
    const int next = second.Prepare(1);
    QCOMPARE(second.RecoveryPending(), offered);
    QCOMPARE(second.PendingRecoveryCount(), offered ? int(model.pages.size()) : 0);
    // Page numbers go on after every file the folder still holds.
    QVERIFY2(next >= (offered ? model.scanNumber : 1), qPrintable(QString::number(next)));
    QCOMPARE(second.Recording(), !offered);
    const SessionJournal::State back = second.TakeRecovery(true);
    if (offered) {
        QCOMPARE(back.pages, model.pages);
        QCOMPARE(back.current, model.current);
    } else {
        QVERIFY(back.pages.isEmpty());
        // Nothing to offer: the folder is emptied for the new session.
        QVERIFY(QDir(work + QStringLiteral("/scanimages")).entryList(QDir::Files).isEmpty());
    }
    QVERIFY(!second.RecoveryPending());
    QVERIFY(second.Recording());
}

// A second window while the first one runs: it must neither take nor empty
// the first one's pages, keeps no journal, and numbers its pages after them.
void TestSessionController::secondSessionInTheSameFolder()
{
    QTemporaryDir dir;
    const QString work = dir.filePath(QStringLiteral("work"));
    QDir().mkpath(work + QStringLiteral("/scanimages"));
    SessionController first(work);
    QCOMPARE(first.Prepare(1), 1);
    SessionJournal::State state;
    for (int number = 1; number <= 2; ++number) {
        QFile page(PagePath(work, number));
        QVERIFY(page.open(QIODevice::WriteOnly) && page.write("page") == 4);
        state.pages.append(page.fileName());
    }
    state.scanNumber = 3;
    first.Record(state);

    SessionController second(work);
    QCOMPARE(second.Prepare(1), 3);
    QVERIFY(!second.Recording());
    QVERIFY(!second.RecoveryPending());
    second.EndCleanly();
    for (const QString& page : qAsConst(state.pages))
        QVERIFY2(QFile::exists(page), qPrintable(page));
    SessionJournal journal(work);
    SessionJournal::State recorded;
    QVERIFY(journal.Load(&recorded));
    QCOMPARE(recorded.pages, state.pages);
}

QTEST_MAIN(TestSessionController)
#include "tst_sessioncontroller.moc"
