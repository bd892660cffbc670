#include "mainwindow.h"
#include "modalanswerer.h"
#include "scanvymessagebox.h"
#include "splashdialog.h"

#include <QApplication>
#include <QAtomicInt>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {
// Runs one ScanvyMessageBox call on its own thread and notes when it returns.
class BoxThread : public QThread {
public:
    BoxThread(QWidget* parent, int kind) : m_parent(parent), m_kind(kind) {}
    QAtomicInt returned{0};

protected:
    void run() override
    {
        ScanvyMessageBox::show(m_parent, QStringLiteral("错误"), QStringLiteral("未找到扫描仪"), m_kind);
        returned.storeRelease(1);
    }

private:
    QWidget* m_parent;
    int m_kind;
};
} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void workerBlocksUntilBoxCloses_data();
    void workerBlocksUntilBoxCloses();

private:
    QTemporaryDir m_home;
    QTemporaryDir m_tmp;
};

void TestDialogs::workerBlocksUntilBoxCloses_data()
{
    QTest::addColumn<bool>("overSplash");
    QTest::newRow("splash") << true;
    QTest::newRow("main window") << false;
}

void TestDialogs::workerBlocksUntilBoxCloses()
{
    QFETCH(bool, overSplash);
    QScopedPointer<MainWindow> window(
        new MainWindow(m_home.path(), m_tmp.path() + QStringLiteral("/zir/scanvy")));
    SplashDialog* splash = nullptr;
    QWidget* parent = window.data();
    if (overSplash) {
        splash = new SplashDialog(window.data(), QStringLiteral("0"));
        splash->open();
        parent = window->SplashParent();
        QCOMPARE(parent, splash);
    }

    // The box is answered from the user-interface thread's event loop after
    // 300 ms; until then the worker must still be waiting.
    BoxThread thread(parent, ScanvyMessageBox::Critical);
    ModalAnswerer answerer;
    answerer.SetDelay(300);
    bool stillWaiting = false;
    QThread* boxThread = nullptr;
    answerer.beforeAnswer = [&](QMessageBox* box) {
        stillWaiting = thread.returned.loadAcquire() == 0 && !thread.isFinished();
        boxThread = box->thread();
    };
    thread.start();
    QTRY_COMPARE(answerer.texts, QStringList{QStringLiteral("未找到扫描仪")});
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("错误")});
    QCOMPARE(answerer.icons.value(0), QMessageBox::Critical);
    QTRY_VERIFY(thread.isFinished());
    QCOMPARE(thread.returned.loadAcquire(), 1);
    QVERIFY(stillWaiting);
    QCOMPARE(boxThread, QApplication::instance()->thread());
    if (splash) {
        splash->close();
    }
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
