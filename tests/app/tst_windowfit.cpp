// The main window on small and scaled screens: each row starts the real
// window in a child process under a private X server of the row's size, with
// the row's scale factor and font resolution, and the child reports what does
// not fit.
#include "windowfixture.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtMath>
#include <QtTest>

namespace {
const char kChildVar[] = "SCANVY_FIT_CHILD";

// "x,y wxh".
QString Place(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The width a combo box needs to show its longest item whole. A box keeps
// the size hint it computed first until its items change in number, so
// after a language change its own hint may still be that of the old texts.
int ComboWidthNeeded(const QComboBox* combo)
{
    // Boxes that show a set number of characters elide longer texts.
    if (combo->sizeAdjustPolicy() == QComboBox::AdjustToMinimumContentsLengthWithIcon) {
        return 0;
    }
    int text = 0;
    for (int i = 0; i < combo->count(); ++i) {
        text = qMax(text, combo->fontMetrics().boundingRect(combo->itemText(i)).width());
    }
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    const int height = qMax(qCeil(QFontMetricsF(combo->fontMetrics()).height()), 14) + 2;
    return combo->style()->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(text, height), combo).width();
}

// Labels, combo boxes and spin boxes of `page` (each tab of its tab widgets
// in turn) that are shown smaller than their size hint, i.e. clipped.
QStringList ClippedFields(QWidget* page)
{
    QStringList clipped;
    // What one look at a tab finds clipped.
    auto look = [&](const QString& where) {
        QStringList found;
        const QList<QWidget*> widgets = page->findChildren<QWidget*>();
        for (QWidget* w : widgets) {
            const bool field =
                qobject_cast<QLabel*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w);
            if (!field || !w->isVisible() || w->objectName().startsWith(QLatin1String("qt_"))) {
                continue;
            }
            QSize hint = w->sizeHint();
            if (auto* combo = qobject_cast<QComboBox*>(w))
                hint.setWidth(qMax(hint.width(), ComboWidthNeeded(combo)));
            if (w->width() < hint.width() || w->height() < hint.height()) {
                found << QStringLiteral("%1 %2: %3x%4 < hint %5x%6")
                             .arg(where, w->objectName())
                             .arg(w->width())
                             .arg(w->height())
                             .arg(hint.width())
                             .arg(hint.height());
            }
        }
        return found;
    };
    // The layouts settle through posted events, late on a loaded machine: a
    // field counts as clipped when it still is after two seconds.
    auto check = [&](const QString& where) {
        QStringList found;
        for (int attempt = 0; attempt < 20; ++attempt) {
            QTest::qWait(attempt == 0 ? 50 : 100);
            found = look(where);
            if (found.isEmpty())
                break;
        }
        clipped << found;
    };
    check(page->objectName());
    const QList<QTabWidget*> tabs = page->findChildren<QTabWidget*>();
    for (QTabWidget* tab : tabs) {
        if (!tab->isVisible()) {
            continue;
        }
        for (int i = 0; i < tab->count(); ++i) {
            tab->setCurrentIndex(i);
            check(page->objectName() + QLatin1Char('/') + tab->widget(i)->objectName());
        }
        tab->setCurrentIndex(0);
    }
    return clipped;
}

// The windows of the help menu and 另存为… open wholly inside the screen's
// free area (their buttons within reach), each in the language last chosen.
QStringList DialogFaults(WindowFixture& fixture, const QRect& available)
{
    QStringList faults;
    auto inside = [&](QWidget* dialog, const char* what) {
        if (!dialog) {
            faults << QStringLiteral("%1 did not open").arg(QLatin1String(what));
            return;
        }
        const QRect frame = dialog->frameGeometry();
        if (!available.contains(frame)) {
            faults << QStringLiteral("%1 at %2 outside the available %3")
                          .arg(QLatin1String(what), Place(frame), Place(available));
        }
    };
    // A modal dialog is looked at from inside its own event loop, then closed.
    auto modal = [&](const char* trigger, const char* what) {
        QWidget* seen = nullptr;
        QTimer poll;
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, [&]() {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || dialog == seen || qobject_cast<QMessageBox*>(dialog))
                return;
            seen = dialog;
            QTest::qWait(100);
            inside(dialog, what);
            dialog->close();
        });
        poll.start();
        if (auto* button = fixture.Child<QPushButton>(trigger))
            button->click();
        else
            fixture.Child<QAction>(trigger)->trigger();
        poll.stop();
        if (!seen)
            faults << QStringLiteral("%1 did not open").arg(QLatin1String(what));
    };
    fixture.Child<QAction>("actionManual")->trigger();
    QTest::qWait(200);
    auto* help = fixture.window->findChild<QWidget*>(QStringLiteral("HelpWindow"));
    inside(help, "使用说明");
    if (help)
        help->close();
    modal("actionShortcuts", "快捷键");
    // 系统配置's folder chooser.
    fixture.Child<QAction>("actionSystemConfig")->trigger();
    modal("btnSelImgPath", "选择文件夹");
    // 另存为… needs pages: one batch of the simulator's feeder.
    fixture.Child<QAction>("actionImageView")->trigger();
    fixture.Child<QAction>("actionScanToLast")->trigger();
    if (!fixture.WaitIdle()) {
        faults << QStringLiteral("the scan did not end");
        return faults;
    }
    modal("actionSaveAs", "另存为…");
    return faults;
}

// Back from a settings page the current thumbnail is wholly in view (the tool
// bar that comes back makes the column shorter) and the focus is where it
// was on the image page, or else on the thumbnail column.
QStringList ReturnFaults(WindowFixture& fixture)
{
    QStringList faults;
    auto* list = fixture.Child<QAbstractItemView>("lwImgThumbnail");
    auto* view = fixture.Child<QWidget>("scrollArea");
    const struct {
        const char* page;
        int row; // -1: the last
        QWidget* focus;
    } cases[] = {{"actionScanConfig", -1, list},
                 {"actionSystemConfig", -1, list},
                 {"actionScanConfig", 0, view},
                 {"actionSystemConfig", -1, view}};
    fixture.window->activateWindow();
    if (!QTest::qWaitForWindowActive(fixture.window)) {
        return {QStringLiteral("the window did not become active")};
    }
    for (const auto& c : cases) {
        fixture.Child<QAction>("actionImageView")->trigger();
        const int rows = list->model()->rowCount();
        list->setCurrentIndex(list->model()->index(c.row < 0 ? rows - 1 : c.row, 0));
        list->scrollTo(list->currentIndex());
        c.focus->setFocus();
        QTest::qWait(100);
        fixture.Child<QAction>(c.page)->trigger();
        QTest::qWait(100);
        fixture.Child<QAction>("actionImageView")->trigger();
        QTest::qWait(200);
        const QString where = QStringLiteral("back from %1 (row %2 of %3, %4)")
                                  .arg(QLatin1String(c.page))
                                  .arg(list->currentIndex().row() + 1)
                                  .arg(list->model()->rowCount())
                                  .arg(c.focus->objectName());
        const QRect item = list->visualRect(list->currentIndex());
        if (!list->viewport()->rect().contains(item)) {
            faults << where + QStringLiteral(": thumbnail at y %1..%2, column 0..%3")
                                  .arg(item.top())
                                  .arg(item.bottom())
                                  .arg(list->viewport()->height() - 1);
        }
        const QWidget* focus = QApplication::focusWidget();
        if (focus != c.focus && !c.focus->isAncestorOf(focus)) {
            faults << where + QStringLiteral(": the focus is on %1")
                                  .arg(focus ? QLatin1String(focus->metaObject()->className()) +
                                                   QLatin1Char(' ') + focus->objectName()
                                             : QStringLiteral("nothing"));
        }
    }
    return faults;
}

// The page controls are on screen, not behind a tool bar's overflow button
// nor under anything else, and a click on each moves to its page.
QStringList PageButtonFaults(WindowFixture& fixture)
{
    QStringList faults;
    auto* list = fixture.Child<QAbstractItemView>("lwImgThumbnail");
    const int rows = list->model()->rowCount();
    // A scanner that gives one page a scan (the overhead one, libsane's
    // test backend): nothing to move between.
    if (rows < 3) {
        return {};
    }
    // The widget that shows `action` in whichever tool bar holds it.
    auto shown = [&](const char* action) -> QWidget* {
        auto* a = fixture.Child<QAction>(action);
        for (QToolBar* bar : fixture.window->findChildren<QToolBar*>()) {
            if (QWidget* w = bar->widgetForAction(a))
                return w;
        }
        return nullptr;
    };
    // Shown, and what lies at its centre on screen is the widget itself.
    auto reachable = [&](QWidget* w, const char* what) {
        QWidget* hit = w ? QApplication::widgetAt(w->mapToGlobal(w->rect().center())) : nullptr;
        const bool ok = w && w->isVisible() && (hit == w || w->isAncestorOf(hit));
        if (!ok)
            faults << QStringLiteral("%1 out of reach (%2)")
                          .arg(QLatin1String(what), w && w->isVisible() ? "covered" : "hidden");
        return ok;
    };
    fixture.Child<QAction>("actionImageView")->trigger();
    list->setCurrentIndex(list->model()->index(1, 0));
    QTest::qWait(200);
    reachable(fixture.Child<QComboBox>("cmPageJump"), "cmPageJump");
    const struct {
        const char* action;
        int row; // -1: the last
    } steps[] = {
        {"actionFirstPage", 0}, {"actionNextPage", 1}, {"actionLastPage", -1}, {"actionPrevPage", -2}};
    for (const auto& step : steps) {
        QWidget* button = shown(step.action);
        if (!reachable(button, step.action))
            continue;
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::qWait(100);
        const int want = step.row < 0 ? rows + step.row : step.row;
        if (list->currentIndex().row() != want) {
            faults << QStringLiteral("%1 went to row %2, not %3")
                          .arg(QLatin1String(step.action))
                          .arg(list->currentIndex().row())
                          .arg(want);
        }
    }
    return faults;
}

// Under a window manager: the frame once the manager has put it round the
// window (it may come a while after the window shows).
QRect ManagedFrame(QWidget* window)
{
    for (int waited = 0; waited < 5000 && window->frameGeometry() == window->geometry(); waited += 50) {
        QTest::qWait(50);
    }
    // The window may still be moved into place.
    QTest::qWait(500);
    return window->frameGeometry();
}

// The child: starts the window on the simulator's devices of SCANVY_FIT_DEVICES
// with the stored size SCANVY_FIT_STORED ("WxH" or empty) and prints every
// fault; the exit status is the number of faults (or 100 when it cannot start).
int RunChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    WindowFixture fixture;
    // "test": libsane's own test backend (the parent added it to this child's
    // dll.conf) as the only scanner, taken when offered: the generic panel.
    const QString devices = qEnvironmentVariable("SCANVY_FIT_DEVICES");
    const bool generic = devices == QLatin1String("test");
    WindowFixture::WriteScenario(generic
                                     ? QStringLiteral("devices=\nusb=none")
                                     : QStringLiteral("devices=") + devices + QStringLiteral("\nsheets=8"));
    const QString stored = qEnvironmentVariable("SCANVY_FIT_STORED");
    QSize wanted(920, 620);
    if (!stored.isEmpty()) {
        const QStringList wh = stored.split(QLatin1Char('x'));
        wanted = QSize(wh.at(0).toInt(), wh.at(1).toInt());
        fixture.Configure({{QStringLiteral("Screen/Width"), QString::number(wanted.width())},
                           {QStringLiteral("Screen/Height"), QString::number(wanted.height())}});
    }
    if (!fixture.Start()) {
        fprintf(stderr, "the window did not start\n");
        return 100;
    }
    QTest::qWait(300);
    MainWindow* window = fixture.window;
    QStringList faults;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen->availableGeometry();
    const bool managed = !qEnvironmentVariableIsEmpty("SCANVY_FIT_WM");
    const QRect frame = managed ? ManagedFrame(window) : window->frameGeometry();
    if (managed && frame == window->geometry()) {
        faults << QStringLiteral("the window manager put no frame round the window");
    }
    if (!available.contains(frame)) {
        faults << QStringLiteral("frame %1 outside the available %2").arg(Place(frame), Place(available));
    }
    // Where the window's usual place lies inside the screen it is kept.
    const QSize extra = frame.size() - window->size();
    const QRect usual((screen->geometry().width() - wanted.width()) / 2,
                      (screen->geometry().height() - wanted.height()) / 2 - 50,
                      wanted.width() + extra.width(), wanted.height() + extra.height());
    if (available.contains(usual) && frame != usual) {
        faults << QStringLiteral("fits, but opened at %1 instead of %2").arg(Place(frame), Place(usual));
    }
    // Every language of the language box, chosen while the window runs: the
    // translations differ in length (English is the longest).
    auto* stack = fixture.Child<QStackedWidget>("stackedWidget");
    auto* language = fixture.Child<QComboBox>("cmLanguage");
    for (int lang = 0; lang < language->count(); ++lang) {
        language->setCurrentIndex(lang);
        QCoreApplication::processEvents();
        const QString where = QStringLiteral("[%1] ").arg(language->itemText(lang));
        const QSize smallest = window->minimumSize().expandedTo(window->minimumSizeHint());
        if (smallest.width() > available.width() || smallest.height() > available.height()) {
            faults << where + QStringLiteral("cannot shrink below %1x%2")
                                  .arg(smallest.width())
                                  .arg(smallest.height());
        }
        fixture.Child<QAction>("actionSystemConfig")->trigger();
        for (const QString& fault : ClippedFields(stack->currentWidget()))
            faults << where + fault;
        fixture.Child<QAction>("actionScanConfig")->trigger();
        for (const QString& fault : ClippedFields(stack->currentWidget()))
            faults << where + fault;
    }
    faults << DialogFaults(fixture, available);
    faults << PageButtonFaults(fixture);
    faults << ReturnFaults(fixture);
    for (const QString& fault : faults) {
        fprintf(stderr, "%s\n", fault.toUtf8().constData());
    }
    return qMin(int(faults.size()), 99);
}
} // namespace

class TestWindowFit : public QObject {
    Q_OBJECT
private slots:
    void fitsScreen_data();
    void fitsScreen();
};

void TestWindowFit::fitsScreen_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QString>("fontDpi");
    QTest::addColumn<QString>("devices");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("wm"); // a window manager to run, or none

    const QStringList families = {QStringLiteral("zylkx:KX-8000"), QStringLiteral("zylwy:WY200"),
                                  QStringLiteral("zyljn:RV920")};
    int row = 0;
    for (const char* screen : {"1024x768", "1366x768"}) {
        for (const char* scale : {"1", "1.25", "2"}) {
            for (const char* dpi : {"96", "144"}) {
                const QString& devices = families.at(row++ % families.size());
                QTest::addRow("%s scale %s dpi %s %s", screen, scale, dpi, qPrintable(devices))
                    << screen << scale << dpi << devices << QString() << QString();
            }
        }
    }
    // The smallest case with every family's panel and with libsane's test
    // backend (the generic panel, built from whatever options a device has);
    // a size stored on a larger screen; where everything fits, the usual
    // size and place.
    const QString test = QStringLiteral("test");
    const struct {
        const char *screen, *scale, *dpi;
        QString devices;
        const char* stored;
    } more[] = {{"1024x768", "2", "144", families.at(1), ""},
                {"1024x768", "2", "144", families.at(2), ""},
                {"1024x768", "2", "144", test, ""},
                {"1366x768", "1.25", "144", test, ""},
                {"1366x768", "1.25", "96", families.at(0), "1150x775"},
                {"1920x1080", "1", "96", families.at(0), "1150x775"},
                {"1920x1080", "1", "96", families.at(1), ""}};
    for (const auto& r : more) {
        QTest::addRow("%s scale %s dpi %s %s, %s", r.screen, r.scale, r.dpi, qPrintable(r.devices),
                      *r.stored ? r.stored : "default size")
            << r.screen << r.scale << r.dpi << r.devices << QString::fromLatin1(r.stored) << QString();
    }
    // Under a window manager, whose frame comes some time after the window
    // shows: each case several starts.
    for (const char* screen : {"1366x768 1.25", "1024x768 2"}) {
        const QStringList size = QString::fromLatin1(screen).split(QLatin1Char(' '));
        for (int start = 1; start <= 3; ++start) {
            QTest::addRow("%s scale %s openbox start %d", qPrintable(size.at(0)), qPrintable(size.at(1)),
                          start)
                << size.at(0) << size.at(1) << QStringLiteral("96") << families.at(0) << QString()
                << QStringLiteral("openbox");
        }
    }
}

void TestWindowFit::fitsScreen()
{
    QFETCH(QString, screen);
    QFETCH(QString, scale);
    QFETCH(QString, fontDpi);
    QFETCH(QString, devices);
    QFETCH(QString, stored);
    QFETCH(QString, wm);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(kChildVar), QStringLiteral("1"));
    env.insert(QStringLiteral("XSERVER_SCREEN"), screen + QStringLiteral("x24"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    env.insert(QStringLiteral("QT_FONT_DPI"), fontDpi);
    env.insert(QStringLiteral("SCANVY_FIT_DEVICES"), devices);
    env.insert(QStringLiteral("SCANVY_FIT_STORED"), stored);
    env.insert(QStringLiteral("SCANVY_FIT_WM"), wm);
    // The generic rows: a copy of the simulator's configuration whose
    // dll.conf also names libsane's test backend.
    QTemporaryDir sane;
    if (devices == QLatin1String("test")) {
        QVERIFY(sane.isValid());
        const QDir from(env.value(QStringLiteral("SANE_CONFIG_DIR")));
        for (const QString& name : from.entryList(QDir::Files))
            QVERIFY(QFile::copy(from.filePath(name), sane.filePath(name)));
        QVERIFY(WindowFixture::AddTestBackend(sane.path(), false));
        env.insert(QStringLiteral("SANE_CONFIG_DIR"), sane.path());
    }
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    QStringList command{QStringLiteral(SCANVY_XSERVER_SCRIPT)};
    if (!wm.isEmpty()) {
        // The manager runs before the child connects, as on a desktop, and
        // is stopped after it.
        command << QStringLiteral("bash") << QStringLiteral("-c")
                << QStringLiteral(
                       "\"$1\" >/dev/null 2>&1 & wm=$!\n"
                       "for i in $(seq 1 100); do\n"
                       "  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break\n"
                       "  sleep 0.1\n"
                       "done\n"
                       "\"$2\"; status=$?\n"
                       "kill $wm; wait $wm 2>/dev/null\n"
                       "exit $status")
                << QStringLiteral("wm") << wm;
    }
    command << QCoreApplication::applicationFilePath();
    child.start(QStringLiteral("bash"), command);
    QVERIFY(child.waitForStarted());
    if (!child.waitForFinished(90000)) {
        child.kill();
        child.waitForFinished();
        QFAIL("the child did not end");
    }
    const QString output = QString::fromUtf8(child.readAll());
    // Whole, where the failure's message would cut it.
    if (child.exitCode() != 0)
        qWarning().noquote() << output;
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             output.toUtf8().constData());
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(kChildVar)) {
        return RunChild(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestWindowFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowfit.moc"
