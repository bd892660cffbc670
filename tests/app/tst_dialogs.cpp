#include "aboutdialog.h"
#include "autoclosemessagebox.h"
#include "cancelbuttonrectstyle.h"
#include "mainwindow.h"
#include "maskerdialog.h"
#include "modalanswerer.h"
#include "scanvymessagebox.h"
#include "splashdialog.h"
#include "worker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAtomicInt>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStyleOptionFocusRect>
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

int PaintedPixels(const QImage& image)
{
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            painted += qAlpha(image.pixel(x, y)) != 0 ? 1 : 0;
        }
    }
    return painted;
}
} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void workerBlocksUntilBoxCloses_data();
    void workerBlocksUntilBoxCloses();
    void mainWindowBoxKinds_data();
    void mainWindowBoxKinds();
    void otherParentShowsNothing_data();
    void otherParentShowsNothing();
    void completionBoxClosesItself();
    void completionBoxOkCloses();
    void masker();
    void maskerStaysUntilJobEnds_data();
    void maskerStaysUntilJobEnds();
    void splashPicture_data();
    void splashPicture();
    void splashParentFollowsSplash();
    void splashJobShowsWindow();
    void workerOrder();
    void noFocusRectangles();

private:
    MainWindow* NewMainWindow();

    QScopedPointer<QTemporaryDir> m_home;
    QScopedPointer<QTemporaryDir> m_tmp;
};

void TestDialogs::init()
{
    m_home.reset(new QTemporaryDir);
    m_tmp.reset(new QTemporaryDir);
}

void TestDialogs::cleanup()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

MainWindow* TestDialogs::NewMainWindow()
{
    return new MainWindow(m_home->path(), m_tmp->path() + QStringLiteral("/zir/scanvy"));
}

void TestDialogs::workerBlocksUntilBoxCloses_data()
{
    QTest::addColumn<bool>("overSplash");
    QTest::newRow("splash") << true;
    QTest::newRow("main window") << false;
}

void TestDialogs::workerBlocksUntilBoxCloses()
{
    QFETCH(bool, overSplash);
    QScopedPointer<MainWindow> window(NewMainWindow());
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
    QPoint position;
    Qt::WindowFlags flags;
    QList<QAbstractButton*> buttons;
    QThread* boxThread = nullptr;
    answerer.beforeAnswer = [&](QMessageBox* box) {
        stillWaiting = thread.returned.loadAcquire() == 0 && !thread.isFinished();
        position = box->pos();
        flags = box->windowFlags();
        buttons = box->buttons();
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
    if (overSplash) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(position, QPoint(screen.width() / 2 - 150, screen.height() / 2 - 75));
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(buttons.size(), 1);
    } else {
        QCOMPARE(answerer.buttonTexts, QStringList{QStringLiteral("确定")});
    }
    if (splash) {
        splash->close();
    }
}

void TestDialogs::mainWindowBoxKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("icon");
    QTest::newRow("information") << 1 << int(QMessageBox::Information);
    QTest::newRow("critical") << 2 << int(QMessageBox::Critical);
    QTest::newRow("question") << 3 << int(QMessageBox::Question);
    QTest::newRow("warning") << 4 << int(QMessageBox::Warning);
}

void TestDialogs::mainWindowBoxKinds()
{
    QFETCH(int, kind);
    QFETCH(int, icon);
    QScopedPointer<MainWindow> window(NewMainWindow());
    ModalAnswerer answerer;
    ScanvyMessageBox::show(window.data(), QStringLiteral("提示"), QStringLiteral("文本"), kind);
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("文本")});
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("提示")});
    QCOMPARE(int(answerer.icons.value(0)), icon);
    QCOMPARE(answerer.buttonTexts, QStringList{QStringLiteral("确定")});
}

void TestDialogs::otherParentShowsNothing_data()
{
    QTest::addColumn<int>("parentKind");
    QTest::addColumn<bool>("fromThread");
    QTest::newRow("no parent, thread") << 0 << true;
    QTest::newRow("plain widget, thread") << 1 << true;
    QTest::newRow("about dialog, thread") << 2 << true;
    QTest::newRow("plain widget, ui thread") << 1 << false;
}

void TestDialogs::otherParentShowsNothing()
{
    QFETCH(int, parentKind);
    QFETCH(bool, fromThread);
    QWidget plain;
    AboutDialog about;
    QWidget* parent = parentKind == 0 ? nullptr : (parentKind == 1 ? &plain : static_cast<QWidget*>(&about));
    ModalAnswerer answerer; // would close any box so that a fault cannot hang the test
    if (fromThread) {
        BoxThread thread(parent, ScanvyMessageBox::Critical);
        thread.start();
        QTRY_VERIFY(thread.isFinished());
    } else {
        ScanvyMessageBox::critical(parent, QStringLiteral("错误"), QStringLiteral("x"));
    }
    QVERIFY(answerer.texts.isEmpty());
}

void TestDialogs::completionBoxClosesItself()
{
    QScopedPointer<MainWindow> window(NewMainWindow());
    ModalAnswerer watcher;
    watcher.SetPassive(true);
    QElapsedTimer clock;
    clock.start();
    AutoCloseMessageBox::information(window.data(), QStringLiteral("提示"),
                                     QStringLiteral("检测扫描仪操作已完成"));
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(watcher.texts, QStringList{QStringLiteral("检测扫描仪操作已完成")});
    QCOMPARE(watcher.titles, QStringList{QStringLiteral("提示")});
    QCOMPARE(watcher.icons.value(0), QMessageBox::Information);
    QVERIFY2(elapsed >= 490, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
}

void TestDialogs::completionBoxOkCloses()
{
    QScopedPointer<MainWindow> window(NewMainWindow());
    ModalAnswerer answerer(QMessageBox::Ok);
    QElapsedTimer clock;
    clock.start();
    AutoCloseMessageBox::information(window.data(), QStringLiteral("提示"), QStringLiteral("完成"), 60000);
    QVERIFY(clock.elapsed() < 30000);
    QCOMPARE(answerer.texts.size(), 1);
}

void TestDialogs::masker()
{
    QWidget owner;
    auto* masker = new MaskerDialog(QStringLiteral("正在进行扫描..."), &owner);
    QCOMPARE(masker->Msg(), QStringLiteral("正在进行扫描..."));
    auto* label = masker->findChild<QLabel*>();
    QVERIFY(label);
    QCOMPARE(label->size(), QSize(500, 100));
    QCOMPARE(label->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    masker->SetMsg(QStringLiteral("正在进行扫描...\r\n当前第2张图像"));
    QCOMPARE(label->text(), QStringLiteral("正在进行扫描...\r\n当前第2张图像"));
    QVERIFY(masker->isModal());
    QVERIFY(masker->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(masker->windowType(), Qt::SplashScreen);
    QVERIFY(masker->testAttribute(Qt::WA_TranslucentBackground));

    QSignalSpy finished(masker, &MaskerDialog::sglMaskerFinished);
    masker->OnMaskerWorkerFinished();
    QCOMPARE(finished.count(), 1);
}

void TestDialogs::maskerStaysUntilJobEnds_data()
{
    QTest::addColumn<bool>("stoppable");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("stops"); // stop requests sent

    for (bool stoppable : {true, false}) {
        const char* job = stoppable ? "scan" : "other job";
        QTest::addRow("%s, Esc", job) << stoppable << "escape" << (stoppable ? 1 : 0);
        QTest::addRow("%s, close request", job) << stoppable << "close" << (stoppable ? 1 : 0);
        QTest::addRow("%s, twice", job) << stoppable << "escape twice" << (stoppable ? 1 : 0);
    }
    QTest::newRow("scan, stop button") << true << "button" << 1;
}

// Whatever the user does, the overlay only goes when its owner hides it at
// the end of the job; during a scan each of these asks once to stop it.
void TestDialogs::maskerStaysUntilJobEnds()
{
    QFETCH(bool, stoppable);
    QFETCH(QString, how);
    QFETCH(int, stops);

    QWidget owner;
    owner.show();
    QPointer<MaskerDialog> masker = new MaskerDialog(QStringLiteral("正在进行扫描..."), &owner);
    masker->setAttribute(Qt::WA_DeleteOnClose);
    masker->SetStoppable(stoppable);
    masker->setWindowModality(Qt::WindowModal);
    masker->open();
    QVERIFY(QTest::qWaitForWindowExposed(masker));
    auto* button = masker->findChild<QPushButton*>(QStringLiteral("btnStopScan"));
    QVERIFY(button);
    QCOMPARE(button->isVisible(), stoppable);
    QCOMPARE(button->text(), QStringLiteral("停止扫描"));
    QSignalSpy stop(masker.data(), &MaskerDialog::sglStopRequested);

    if (how == QLatin1String("button")) {
        button->click();
    } else if (how == QLatin1String("close")) {
        masker->close();
    } else {
        QTest::keyClick(masker, Qt::Key_Escape);
        if (how == QLatin1String("escape twice")) {
            QTest::keyClick(masker, Qt::Key_Escape);
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(masker);
    QVERIFY(masker->isVisible());
    QCOMPARE(stop.count(), stops);
    QCOMPARE(button->isEnabled(), stoppable && stops == 0);

    // The owner hides it; the next job arms the button again.
    masker->hide();
    masker->SetStoppable(true);
    QVERIFY(button->isEnabled());
}

void TestDialogs::splashPicture_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("picture");
    QTest::newRow("0") << "0"
                       << ":/pngs/splashcn.png";
    QTest::newRow("1") << "1"
                       << ":/pngs/splashtw.png";
    QTest::newRow("2") << "2"
                       << ":/pngs/splashen.png";
    QTest::newRow("other") << "7"
                           << ":/pngs/splashcn.png";
}

void TestDialogs::splashPicture()
{
    QFETCH(QString, language);
    QFETCH(QString, picture);
    QCOMPARE(SplashDialog::PicturePath(language), picture);
    SplashDialog splash(nullptr, language);
    auto* label = splash.findChild<QLabel*>();
    QVERIFY(label);
    const QPixmap shown = label->pixmap(Qt::ReturnByValue);
    QVERIFY(!shown.isNull());
    QCOMPARE(shown.toImage().convertToFormat(QImage::Format_ARGB32),
             QImage(picture).convertToFormat(QImage::Format_ARGB32));
    QCOMPARE(splash.size(), QSize(483, 160));
    QCOMPARE(splash.windowTitle(), QStringLiteral("泽科维扫描软件"));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(splash.pos(), QPoint((screen.width() - 483) / 2, (screen.height() - 160) / 2 - 50));
}

void TestDialogs::splashParentFollowsSplash()
{
    QScopedPointer<MainWindow> window(NewMainWindow());
    QCOMPARE(window->SplashParent(), window.data());
    {
        SplashDialog splash(window.data(), QStringLiteral("0"));
        QCOMPARE(window->SplashParent(), &splash);
    }
    QCOMPARE(window->SplashParent(), window.data());
}

void TestDialogs::splashJobShowsWindow()
{
    // The start-up job looks for scanners with the simulator's stand-in tools.
    qputenv("PATH", QByteArray(SCANVY_SIM_BIN_DIR) + ':' + qgetenv("PATH"));
    QPointer<MainWindow> window(NewMainWindow());
    QSignalSpy started(window.data(), &MainWindow::sglStartupDone);
    QPointer<SplashDialog> splash(new SplashDialog(window, QStringLiteral("0")));
    connect(splash, &SplashDialog::sglSplashFinished, window, [&] {
        splash->close();
        window->show();
    });
    splash->open();
    splash->DoInitJob();
    QTRY_VERIFY(window->isVisible());
    QTRY_VERIFY(splash.isNull()); // deleted when closed
    QTRY_COMPARE(started.count(), 1);
    QCOMPARE(started.first().first().toBool(), true);

    // From now on the window's size is remembered.
    window->resize(1001, 701);
    const QString config = window->ConfigFilePath();
    delete window.data();
    QSettings settings(config, QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("Screen/Width")).toString(), QStringLiteral("1001"));
    QCOMPARE(settings.value(QStringLiteral("Screen/Height")).toString(), QStringLiteral("701"));
}

void TestDialogs::workerOrder()
{
    Worker worker;
    QStringList order;
    connect(&worker, &Worker::sglWorkerProgress, this, [&] { order << "progress"; });
    connect(&worker, &Worker::sglWorkerFinished, this, [&] { order << "finished"; });
    connect(&worker, &Worker::sglWorkerFinishedOther, this, [&] { order << "other"; });
    worker.OnWorkerStart();
    QCOMPARE(order, (QStringList{"progress", "finished", "other"}));
}

void TestDialogs::noFocusRectangles()
{
    CancelButtonRectStyle style;
    QProxyStyle reference; // the same platform style, unchanged
    QStyleOptionFocusRect option;
    option.rect = QRect(2, 2, 40, 20);
    option.palette = QApplication::palette();
    option.state = QStyle::State_HasFocus | QStyle::State_Enabled | QStyle::State_KeyboardFocusChange;

    QImage withReference(48, 28, QImage::Format_ARGB32);
    withReference.fill(Qt::transparent);
    {
        QPainter painter(&withReference);
        reference.drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter);
    }
    QVERIFY2(PaintedPixels(withReference) > 0, "the reference style draws focus rectangles");

    QImage withOurs(48, 28, QImage::Format_ARGB32);
    withOurs.fill(Qt::transparent);
    {
        QPainter painter(&withOurs);
        style.drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter);
    }
    QCOMPARE(PaintedPixels(withOurs), 0);

    // Everything else is still drawn by the base style.
    QStyleOption frame;
    frame.rect = QRect(2, 2, 40, 20);
    frame.palette = QApplication::palette();
    frame.state = QStyle::State_Enabled | QStyle::State_Raised;
    QImage panel(48, 28, QImage::Format_ARGB32);
    panel.fill(Qt::transparent);
    {
        QPainter painter(&panel);
        style.drawPrimitive(QStyle::PE_PanelButtonCommand, &frame, &painter);
    }
    QVERIFY(PaintedPixels(panel) > 0);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
