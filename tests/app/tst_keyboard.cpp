#include "imageviewwidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "optionscontainerwidget.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <QtTest>

#include <algorithm>
#include <tuple>

namespace {

// Records which action or shortcut a key reaches, and keeps the key from
// doing anything (no scan, no save, no dialog).
class ShortcutLog : public QObject {
public:
    QStringList reached;
    bool ambiguous = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Shortcut) {
            return false;
        }
        ambiguous = ambiguous || static_cast<QShortcutEvent*>(event)->isAmbiguous();
        reached << watched->objectName();
        return true;
    }
};

void CollectLayout(QLayout* layout, QList<QWidget*>& out);

// The widgets Tab can stop at under `widget`, in the order the eye reads the
// form: each layout in its own order (grids row by row), a tab widget's tabs
// before its page. A widget that hands its focus on (spin box, editable
// combo box) counts as one stop.
void CollectVisual(QWidget* widget, QList<QWidget*>& out)
{
    if (widget == nullptr || !widget->isVisible()) {
        return;
    }
    if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
        CollectVisual(tabs->tabBar(), out);
        CollectVisual(tabs->currentWidget(), out);
        return;
    }
    if (auto* stack = qobject_cast<QStackedWidget*>(widget)) {
        CollectVisual(stack->currentWidget(), out);
        return;
    }
    if (widget->isEnabled() &&
        ((widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus || widget->focusProxy())) {
        out << widget;
        return;
    }
    if (widget->layout()) {
        CollectLayout(widget->layout(), out);
    }
}

void CollectLayout(QLayout* layout, QList<QWidget*>& out)
{
    QList<std::tuple<int, int, QLayoutItem*>> items;
    auto* grid = qobject_cast<QGridLayout*>(layout);
    for (int i = 0; i < layout->count(); ++i) {
        int row = i;
        int column = 0;
        if (grid) {
            int rowSpan = 0;
            int columnSpan = 0;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        }
        items.append(std::make_tuple(row, column, layout->itemAt(i)));
    }
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
        return std::make_pair(std::get<0>(a), std::get<1>(a)) <
               std::make_pair(std::get<0>(b), std::get<1>(b));
    });
    for (const auto& entry : qAsConst(items)) {
        QLayoutItem* item = std::get<2>(entry);
        if (item->widget()) {
            CollectVisual(item->widget(), out);
        } else if (item->layout()) {
            CollectLayout(item->layout(), out);
        }
    }
}

QString Names(const QList<QWidget*>& widgets)
{
    QStringList names;
    for (QWidget* widget : widgets) {
        names << (widget ? widget->objectName() : QStringLiteral("(none)"));
    }
    return names.join(QLatin1Char(' '));
}

} // namespace

// Driving the program from the keyboard: every menu opens with Alt and its
// letter and every entry is reached by the arrow keys, every shortcut
// reaches its own action and no other, Tab walks the settings forms in the
// order they are read, and the controls outside the menus (page-jump box,
// scanner selector) take keys.
class TestKeyboard : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menusOpenByMnemonic();
    void shortcutsReachTheirActions_data();
    void shortcutsReachTheirActions();
    void tabFollowsTheForm_data();
    void tabFollowsTheForm();
    void scannerSelectorByKeys();

private:
    void Open(int pages);
    template <typename T> T* Child(const char* name)
    {
        auto* child = m_window->findChild<T*>(QLatin1String(name));
        if (!child) {
            qFatal("no child %s", name);
        }
        return child;
    }
    void Walk(QMenu* menu, QSet<QAction*>& reached);
    QString WalkTab(const QList<QWidget*>& expected);

    QScopedPointer<QTemporaryDir> m_home;
    QScopedPointer<QTemporaryDir> m_tmp;
    QPointer<MainWindow> m_window;
};

void TestKeyboard::init()
{
    m_home.reset(new QTemporaryDir);
    m_tmp.reset(new QTemporaryDir);
}

void TestKeyboard::cleanup()
{
    delete m_window.data();
}

// The window with `pages` small pages, all image-page actions on (as after
// a scan on a ready scanner), the second page current, shown and active.
void TestKeyboard::Open(int pages)
{
    const QString work = m_tmp->path() + QStringLiteral("/zir/scanvy");
    m_window = new MainWindow(m_home->path(), work);
    ImageViewWidget* view = m_window->findChild<ImageViewWidget*>();
    QDir().mkpath(work + QStringLiteral("/scanimages"));
    for (int i = 0; i < pages; ++i) {
        QImage image(40, 60, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 50 % 360, 200, 220));
        const QString path = QStringLiteral("%1/scanimages/p%2.png").arg(work).arg(i);
        QVERIFY(image.save(path));
        view->AddImage(path);
    }
    view->ClearItemSelction();
    view->Delete(); // nothing selected: announces the list to the window
    m_window->show();
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    m_window->EnableScanButtons(true);
    m_window->EnableMenu(pages > 0);
    if (pages > 1) {
        Child<QComboBox>("cmPageJump")->setCurrentIndex(1);
    }
    m_window->RefreshPageButtons();
}

void TestKeyboard::Walk(QMenu* menu, QSet<QAction*>& reached)
{
    // One more step than there are entries: the walk wraps round.
    const int steps = menu->actions().size() + 1;
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(menu, Qt::Key_Down);
        QAction* action = menu->activeAction();
        if (action == nullptr || reached.contains(action)) {
            continue;
        }
        reached << action;
        if (QMenu* sub = action->menu()) {
            QTest::keyClick(menu, Qt::Key_Right);
            QTRY_COMPARE(QApplication::activePopupWidget(), sub);
            Walk(sub, reached);
            QTest::keyClick(sub, Qt::Key_Escape);
            QTRY_COMPARE(QApplication::activePopupWidget(), menu);
        }
    }
}

void TestKeyboard::menusOpenByMnemonic()
{
    Open(3);
    QSet<QAction*> reached;
    QSet<int> letters;
    for (QAction* top : m_window->menuBar()->actions()) {
        QMenu* menu = top->menu();
        QVERIFY(menu);
        // The text is the one shown, with the letter marked.
        const QKeySequence mnemonic = QKeySequence::mnemonic(menu->title());
        QVERIFY2(!mnemonic.isEmpty(), qPrintable(menu->title()));
        const int key = mnemonic[0] & ~int(Qt::KeyboardModifierMask);
        QVERIFY2(!letters.contains(key), qPrintable(menu->title()));
        letters << key;

        QApplication::setActiveWindow(m_window);
        QTest::keyClick(m_window, Qt::Key(key), Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), menu);
        reached << top;
        Walk(menu, reached);
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    }

    // Every enabled entry of every menu was reached...
    QStringList missed;
    std::function<void(QMenu*)> check = [&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || !action->isVisible() || !action->isEnabled()) {
                continue;
            }
            if (!reached.contains(action)) {
                missed << action->text();
            }
            if (action->menu()) {
                check(action->menu());
            }
        }
    };
    for (QAction* top : m_window->menuBar()->actions()) {
        check(top->menu());
    }
    QVERIFY2(missed.isEmpty(), qPrintable(missed.join(' ')));
    // ... and so is everything the toolbar offers (the page-jump box has its
    // own key, below).
    for (QAction* action : Child<QToolBar>("toolBar")->actions()) {
        if (!action->isSeparator() && !qobject_cast<QWidgetAction*>(action) && action->isEnabled() &&
            !action->objectName().isEmpty()) {
            QVERIFY2(reached.contains(action), qPrintable(action->text()));
        }
    }
}

void TestKeyboard::shortcutsReachTheirActions_data()
{
    QTest::addColumn<QString>("focus");
    QTest::newRow("thumbnails") << "lwImgThumbnail";
    QTest::newRow("large view") << "scrollArea";
}

void TestKeyboard::shortcutsReachTheirActions()
{
    QFETCH(QString, focus);
    Open(3);
    // No two keys alike, menu letters included.
    QMap<QString, QString> owners;
    QStringList clashes;
    auto own = [&](const QKeySequence& key, const QString& owner) {
        if (key.isEmpty()) {
            return;
        }
        const QString text = key.toString(QKeySequence::PortableText);
        if (owners.contains(text)) {
            clashes << text + QStringLiteral(": ") + owners.value(text) + QStringLiteral(", ") + owner;
        }
        owners.insert(text, owner);
    };
    const QList<QAction*> actions = m_window->findChildren<QAction*>();
    for (QAction* action : actions) {
        if (!action->objectName().isEmpty()) {
            own(action->shortcut(), action->objectName());
        }
    }
    const QList<QShortcut*> shortcuts = m_window->findChildren<QShortcut*>();
    for (QShortcut* shortcut : shortcuts) {
        own(shortcut->key(), shortcut->objectName());
    }
    for (QAction* top : m_window->menuBar()->actions()) {
        own(QKeySequence::mnemonic(top->text()), top->text());
    }
    QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(QStringLiteral("; "))));

    // Each key, typed where the user works, reaches its action and no other.
    ShortcutLog log;
    for (QAction* action : actions) {
        action->installEventFilter(&log);
    }
    for (QShortcut* shortcut : shortcuts) {
        shortcut->installEventFilter(&log);
    }
    QWidget* target = Child<QWidget>(qPrintable(focus));
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    QStringList wrong;
    int typed = 0;
    for (QAction* action : actions) {
        if (action->shortcut().isEmpty() || !action->isEnabled() || action->objectName().isEmpty()) {
            continue;
        }
        const int key = action->shortcut()[0];
        log.reached.clear();
        QTest::keyClick(target, Qt::Key(key & ~int(Qt::KeyboardModifierMask)),
                        Qt::KeyboardModifiers(key & int(Qt::KeyboardModifierMask)));
        ++typed;
        if (log.reached != QStringList{action->objectName()}) {
            wrong << action->shortcut().toString() + QStringLiteral(" -> ") +
                         (log.reached.isEmpty() ? QStringLiteral("nothing") : log.reached.join(','));
        }
    }
    QVERIFY(!log.ambiguous);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
    QVERIFY(typed >= 15);
}

void TestKeyboard::tabFollowsTheForm_data()
{
    QTest::addColumn<QString>("form");
    QTest::newRow("system settings") << "";
    QTest::newRow("Kx panel") << "zylkx:KX-8000";
    QTest::newRow("Wy panel") << "zylwy:WY200";
    QTest::newRow("RV920 panel") << "zyljn:RV920";
}

// Tab from the first stop of the form, once round: the stops come in the
// order of the form; empty when they do.
QString TestKeyboard::WalkTab(const QList<QWidget*>& expected)
{
    if (expected.size() < 2) {
        return QStringLiteral("only %1 stops").arg(expected.size());
    }
    expected.first()->setFocus(Qt::TabFocusReason);
    if (!QTest::qWaitFor([&] { return QApplication::focusWidget() != nullptr; })) {
        return QStringLiteral("no focus");
    }
    QList<QWidget*> walked;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* stop = QApplication::focusWidget();
        while (stop && !expected.contains(stop)) {
            stop = stop->parentWidget();
        }
        walked << stop;
    }
    const QList<QWidget*> wanted = expected.mid(1) + expected.mid(0, 1);
    return walked == wanted ? QString()
                            : QStringLiteral("Tab goes %1\n instead of %2").arg(Names(walked), Names(wanted));
}

void TestKeyboard::tabFollowsTheForm()
{
    QFETCH(QString, form);
    if (form.isEmpty()) {
        Open(0);
        Child<QAction>("actionSystemConfig")->trigger();
        QList<QWidget*> stops;
        CollectVisual(Child<QWidget>("pageSystemSetting"), stops);
        const QString differs = WalkTab(stops);
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
        return;
    }
    // The settings page's container with the family's panel, as the main
    // window holds it.
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    auto* page = new OptionsContainerWidget(m_home->path(), &host);
    layout->addWidget(page);
    auto* back = new QPushButton(QStringLiteral("返回图像显示"), &host);
    back->setObjectName(QStringLiteral("btnReturnToImageFromScan"));
    layout->addWidget(back);
    page->InitScannerList({form});
    host.show();
    QApplication::setActiveWindow(&host);
    QVERIFY(QTest::qWaitForWindowActive(&host));
    QList<QTabWidget*> panelTabs;
    for (QTabWidget* t : page->findChildren<QTabWidget*>(QStringLiteral("twOptions"))) {
        if (t->isVisible()) {
            panelTabs << t;
        }
    }
    QCOMPARE(panelTabs.size(), 1);
    QTabWidget* tabs = panelTabs.first();
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QList<QWidget*> stops;
        CollectVisual(&host, stops);
        const QString differs = WalkTab(stops);
        QVERIFY2(differs.isEmpty(), qPrintable(tabs->tabText(tab) + QStringLiteral(": ") + differs));
    }
}

// Changing the scanner with the arrow keys, then a switch that fails: the
// selector goes back to the scanner chosen before the failed one.
void TestKeyboard::scannerSelectorByKeys()
{
    const QString kx = QStringLiteral("zylkx:KX-8000");
    const QString wy = QStringLiteral("zylwy:WY200");
    const QString rv = QStringLiteral("zyljn:RV920");
    OptionsContainerWidget page(m_home->path());
    page.InitScannerList({kx, wy, rv});
    page.show();
    QApplication::setActiveWindow(&page);
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QSignalSpy changed(&page, &OptionsContainerWidget::sglChangeDevice);
    auto* selector = page.findChild<QComboBox*>(QStringLiteral("cmScannerList"));
    selector->setFocus();
    QTRY_VERIFY(selector->hasFocus());
    QTest::keyClick(selector, Qt::Key_Down);
    QTest::keyClick(selector, Qt::Key_Down);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1), (QList<QVariant>{wy, rv}));
    page.RestoreChangeDevice();
    QCOMPARE(page.m_currentDevice, wy);
    QCOMPARE(selector->currentText(), wy);
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
