#include "gdata.h"
#include "imageviewwidget.h"
#include "mainwindow.h"
#include "optionscontainerwidget.h"
#include "usbhotplugthread.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace {
// Everything of the image page that works on the page list or starts a scan.
const char* const kImagePageActions[] = {
    "actionScanToLast", "actionScantoPrev", "actionScanToNext",  "actionScanReplace", "actionSave",
    "actionRotateLeft", "actionRotate180",  "actionRotateRight", "actionSelectAll",   "actionSelectReverse",
    "actionBroom",      "actionDelete",     "actionZoomIn",      "actionZoomOut",     "actionFitToWindow",
    "actionNormalSize", "actionFirstPage",  "actionPrevPage",    "actionNextPage",    "actionLastPage",
    "actionMoveUp",     "actionMoveDown",
};
const char* const kScanActions[] = {"actionScanToLast", "actionScantoPrev", "actionScanToNext",
                                    "actionScanReplace"};

// Records which keys reach a widget as key presses.
class KeyLog : public QObject {
public:
    QList<QKeySequence> keys;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The modifier keys themselves are pressed too; only the keys count.
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Control) {
                keys << QKeySequence(key->key() | int(key->modifiers() & ~Qt::KeypadModifier));
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};
const Key kUp{Qt::Key_Up, Qt::NoModifier};
const Key kDown{Qt::Key_Down, Qt::NoModifier};
const Key kHome{Qt::Key_Home, Qt::NoModifier};
const Key kEnd{Qt::Key_End, Qt::NoModifier};
const Key kDel{Qt::Key_Delete, Qt::NoModifier};
const Key kPlus{Qt::Key_Plus, Qt::NoModifier};
const Key kMinus{Qt::Key_Minus, Qt::NoModifier};
const Key kSelectAll{Qt::Key_A, Qt::ControlModifier};
const Key kReverse{Qt::Key_R, Qt::ControlModifier};
} // namespace

// The image page's controls on the real window with the simulated Kx
// feeder: which actions the settings pages leave to their own widgets, what
// comes back on return, scan actions without a scanner, and the thumbnail
// column following the current page.
class TestPageControls : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyDeviceListLeavesNoScanAction();
    void settingsPagesKeepTheirKeys_data();
    void settingsPagesKeepTheirKeys();
    void currentThumbnailStaysInView_data();
    void currentThumbnailStaysInView();

private:
    bool StartWith(const QString& scenario);
    bool Scan(const char* action);
    QStringList Numbers() const;
    QMap<QString, bool> ActionStates() const;
    QString PageListState() const;
    bool TypeKeys(QWidget* widget, const QList<Key>& keys);
    void ShowPage(const char* trigger);
    void Notice(int code) { emit m_fx->Monitor()->sglUSBListChanged(code); }
    QListWidget* Thumbs() const { return m_fx->Child<QListWidget>("lwImgThumbnail"); }
    QString CurrentThumbOutOfView() const;
    void ScrollThumbsAway();

    QScopedPointer<WindowFixture> m_fx;
};

void TestPageControls::init()
{
    // This one starts the window itself, without a device list.
    if (QByteArray(QTest::currentTestFunction()) == "emptyDeviceListLeavesNoScanAction") {
        return;
    }
    QVERIFY(StartWith(QStringLiteral("sheets=3\nsource=Adf-front")));
    m_fx->SetResolution(100);
    QVERIFY(m_fx->SetPanelCombo("cmSource", QStringLiteral("Adf-front")));
}

void TestPageControls::cleanup()
{
    m_fx.reset();
    WindowFixture::WriteScenario(QString());
}

bool TestPageControls::StartWith(const QString& scenario)
{
    WindowFixture::WriteScenario(scenario);
    m_fx.reset(new WindowFixture);
    return m_fx->Start();
}

bool TestPageControls::Scan(const char* action)
{
    auto* act = m_fx->Child<QAction>(action);
    if (!act || !act->isEnabled()) {
        qWarning("action %s not usable", action);
        return false;
    }
    act->trigger();
    return m_fx->WaitJobDone();
}

// The numbers of the page files in page order ("0001.jpg" → "1").
QStringList TestPageControls::Numbers() const
{
    QStringList numbers;
    for (const QString& file : m_fx->window->PageFiles()) {
        numbers << QString::number(QFileInfo(file).baseName().toInt());
    }
    return numbers;
}

// Without a device list the window opens, but nothing offers to scan.
void TestPageControls::emptyDeviceListLeavesNoScanAction()
{
    QVERIFY(!StartWith(QStringLiteral("usb=0b7e:2f4c\ndevices=")));
    QCOMPARE(m_fx->quitStatus, -100); // the program goes on
    QVERIFY(m_fx->window->isVisible());
    QVERIFY(!m_fx->window->DeviceReady());
    const auto scanOffered = [this] {
        QStringList on;
        for (const char* name : kScanActions) {
            if (m_fx->Child<QAction>(name)->isEnabled()) {
                on << QLatin1String(name);
            }
        }
        if (m_fx->Child<QMenu>("menuScan")->menuAction()->isEnabled()) {
            on << QStringLiteral("menuScan");
        }
        if (GData::ctx().m_scannerReady) {
            on << QStringLiteral("the page list's context menu");
        }
        return on;
    };
    QCOMPARE(scanOffered(), QStringList());
    ShowPage("actionScanConfig");
    ShowPage("btnReturnToImageFromScan");
    QCOMPARE(scanOffered(), QStringList());
    ShowPage("actionSystemConfig");
    ShowPage("actionImageView");
    QCOMPARE(scanOffered(), QStringList());

    // Plugged in later: the rebuild offers the scanner.
    WindowFixture::WriteScenario(QStringLiteral("sheets=1"));
    Notice(1);
    QVERIFY(m_fx->WaitJobDone());
    QCOMPARE(scanOffered(), QStringList({"actionScanToLast", "menuScan", "the page list's context menu"}));
    QVERIFY(Scan("actionScanToLast"));
    QCOMPARE(m_fx->window->PageFiles().size(), 1);
}

void TestPageControls::ShowPage(const char* trigger)
{
    if (auto* button = m_fx->window->findChild<QPushButton*>(QLatin1String(trigger))) {
        button->click();
    } else {
        m_fx->Child<QAction>(trigger)->trigger();
    }
}

QMap<QString, bool> TestPageControls::ActionStates() const
{
    QMap<QString, bool> states;
    for (const char* name : kImagePageActions) {
        states.insert(QLatin1String(name), m_fx->Child<QAction>(name)->isEnabled());
    }
    states.insert(QStringLiteral("menuScan"), m_fx->Child<QMenu>("menuScan")->menuAction()->isEnabled());
    states.insert(QStringLiteral("cmPageJump"), m_fx->Child<QComboBox>("cmPageJump")->isEnabled());
    return states;
}

// Pages, current page, selection and page-jump box in one line.
QString TestPageControls::PageListState() const
{
    QStringList selected;
    for (int row = 0; row < Thumbs()->count(); ++row) {
        if (Thumbs()->item(row)->isSelected()) {
            selected << QString::number(row);
        }
    }
    return QStringLiteral("pages %1 (%2 files), current %3, selected [%4], jump %5")
        .arg(Numbers().join(QLatin1Char(',')))
        .arg(m_fx->View()->GetPagePaths().size())
        .arg(m_fx->View()->GetCurrentIndex())
        .arg(selected.join(QLatin1Char(',')))
        .arg(m_fx->Child<QComboBox>("cmPageJump")->currentIndex());
}

// Types the keys into the widget, which has the focus in the active window
// (shortcuts only answer there); true when every one of them reached it.
bool TestPageControls::TypeKeys(QWidget* widget, const QList<Key>& keys)
{
    widget->window()->activateWindow();
    widget->setFocus();
    if (!QTest::qWaitForWindowActive(widget->window()) ||
        !QTest::qWaitFor([widget] { return widget->hasFocus(); })) {
        qWarning("%s has no focus", qPrintable(widget->objectName()));
        return false;
    }
    KeyLog log;
    widget->installEventFilter(&log);
    QList<QKeySequence> typed;
    for (const Key& key : keys) {
        QTest::keyClick(widget, key.key, key.modifiers);
        typed << QKeySequence(int(key.key) | int(key.modifiers));
    }
    widget->removeEventFilter(&log);
    if (log.keys != typed) {
        qWarning("%s got %s of %s", qPrintable(widget->objectName()),
                 qPrintable(QKeySequence::listToString(log.keys)),
                 qPrintable(QKeySequence::listToString(typed)));
    }
    return log.keys == typed;
}

void TestPageControls::settingsPagesKeepTheirKeys_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("meanwhile");

    QTest::newRow("no pages") << 0 << 0 << "";
    QTest::newRow("one page") << 1 << 0 << "";
    QTest::newRow("five, first current") << 5 << 0 << "";
    QTest::newRow("five, third current") << 5 << 2 << "";
    QTest::newRow("five, last current") << 5 << 4 << "";
    QTest::newRow("five, zoomed in to the limit") << 5 << 3 << "zoom";
    QTest::newRow("three, window resized while away") << 3 << 1 << "resize";
    QTest::newRow("three, unplugged while away") << 3 << 1 << "unplug";
    QTest::newRow("three, plugged in again while away") << 3 << 2 << "replug";
}

// While a settings page shows, its widgets get every key and the hidden
// image page none; coming back restores the image page's actions as the
// page list and the scanner then are.
void TestPageControls::settingsPagesKeepTheirKeys()
{
    QFETCH(int, pages);
    QFETCH(int, current);
    QFETCH(QString, meanwhile);

    MainWindow* w = m_fx->window;
    if (pages > 0) {
        WindowFixture::WriteScenario(QStringLiteral("sheets=%1\nsource=Adf-front\nload=keys").arg(pages));
        QVERIFY(Scan("actionScanToLast"));
        m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(current);
    }
    if (meanwhile == QLatin1String("zoom")) {
        for (int i = 0; i < 40 && m_fx->Child<QAction>("actionZoomIn")->isEnabled(); ++i) {
            m_fx->Child<QAction>("actionZoomIn")->trigger();
        }
        QVERIFY(!m_fx->Child<QAction>("actionZoomIn")->isEnabled());
    }
    QMap<QString, bool> expected = ActionStates();
    if (meanwhile == QLatin1String("unplug")) {
        for (const char* name : kScanActions) {
            expected[QLatin1String(name)] = false;
        }
        expected[QStringLiteral("menuScan")] = false;
    } else if (meanwhile == QLatin1String("replug")) {
        WindowFixture::WriteScenario(QStringLiteral("usb=none\ndevices=zylkx:KX-F600"));
        Notice(2);
        QVERIFY(m_fx->WaitJobDone());
        QVERIFY(!m_fx->Child<QAction>("actionScanToLast")->isEnabled());
    }
    const QString pageList = PageListState();
    std::vector<std::unique_ptr<QSignalSpy>> triggered;
    for (const char* name : kImagePageActions) {
        triggered.emplace_back(new QSignalSpy(m_fx->Child<QAction>(name), &QAction::triggered));
    }
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));

    // The image page's controls that are enabled.
    const auto enabled = [this] {
        QStringList on;
        const QMap<QString, bool> states = ActionStates();
        for (auto it = states.cbegin(); it != states.cend(); ++it) {
            if (it.value()) {
                on << it.key();
            }
        }
        return on;
    };

    // The scan-settings page.
    ShowPage("actionScanConfig");
    QCOMPARE(enabled(), QStringList());
    if (meanwhile == QLatin1String("resize")) {
        w->resize(w->width() + 40, w->height() + 30);
        QTest::qWait(20);
        QCOMPARE(enabled(), QStringList());
    } else if (meanwhile == QLatin1String("unplug")) {
        WindowFixture::WriteScenario(QStringLiteral("usb=none\ndevices=zylkx:KX-F600"));
        Notice(2);
        QVERIFY(m_fx->WaitJobDone());
        QCOMPARE(enabled(), QStringList());
    } else if (meanwhile == QLatin1String("replug")) {
        WindowFixture::WriteScenario(QStringLiteral("sheets=3"));
        Notice(1);
        QVERIFY(m_fx->WaitJobDone());
        QCOMPARE(enabled(), QStringList());
    }
    if (m_fx->Container()->isVisible()) {
        auto* resolution = m_fx->Child<QSpinBox>("sbResolution");
        resolution->setValue(150);
        QVERIFY(TypeKeys(resolution, {kUp, kDown, kUp}));
        QCOMPARE(resolution->value(), 151);
        QVERIFY(TypeKeys(resolution, {kHome, kEnd, kDel, kPlus, kMinus, kSelectAll, kReverse}));
        auto* mode = m_fx->Child<QComboBox>("cmMode");
        mode->setCurrentIndex(0);
        QVERIFY(TypeKeys(mode, {kDown, kUp, kDown}));
        QCOMPARE(mode->currentIndex(), 1);
        QVERIFY(TypeKeys(mode, {kHome, kDel, kPlus, kMinus, kSelectAll, kReverse, kEnd}));
        QCOMPARE(mode->currentIndex(), mode->count() - 1);
    }
    ShowPage("btnReturnToImageFromScan");
    QCOMPARE(ActionStates(), expected);

    // The system-settings page.
    ShowPage("actionSystemConfig");
    QCOMPARE(enabled(), QStringList());
    auto* format = m_fx->Child<QComboBox>("cmImageFormat");
    format->setCurrentIndex(0);
    QVERIFY(TypeKeys(format, {kDown, kUp, kDown}));
    QCOMPARE(format->currentIndex(), 1);
    QVERIFY(TypeKeys(format, {kHome, kDel, kPlus, kMinus, kSelectAll, kReverse, kEnd}));
    QCOMPARE(format->currentIndex(), format->count() - 1);
    auto* prefix = m_fx->Child<QLineEdit>("txtSysFileNamePrefix");
    prefix->setText(QStringLiteral("ab"));
    QVERIFY(TypeKeys(prefix, {kUp, kDown, kHome, kDel, kEnd, kMinus, kReverse}));
    QCOMPARE(prefix->text(), QStringLiteral("b-"));
    QVERIFY(TypeKeys(prefix, {kSelectAll, kDel, kPlus, kSelectAll, kDel}));
    QCOMPARE(prefix->text(), QString());
    ShowPage("btnReturnToImageFromSys");
    QCOMPARE(ActionStates(), expected);

    for (const auto& spy : triggered) {
        QCOMPARE(spy->count(), 0);
    }
    QCOMPARE(PageListState(), pageList);
    QVERIFY(!m_fx->answerer.texts.contains(QStringLiteral("是否删除选中图像？")));
}

// The current thumbnail, or why it is not fully in view.
QString TestPageControls::CurrentThumbOutOfView() const
{
    QListWidgetItem* item = Thumbs()->currentItem();
    if (!item) {
        return QStringLiteral("no current thumbnail");
    }
    const QRect rect = Thumbs()->visualItemRect(item);
    const QRect view = Thumbs()->viewport()->rect();
    if (view.contains(rect)) {
        return QString();
    }
    return QStringLiteral("row %1 at y %2..%3, view 0..%4")
        .arg(Thumbs()->row(item))
        .arg(rect.top())
        .arg(rect.bottom())
        .arg(view.bottom());
}

// The user has scrolled the column so that the current thumbnail is gone.
void TestPageControls::ScrollThumbsAway()
{
    QScrollBar* bar = Thumbs()->verticalScrollBar();
    const int row = Thumbs()->currentRow();
    bar->setValue(row < Thumbs()->count() / 2 ? bar->maximum() : bar->minimum());
}

void TestPageControls::currentThumbnailStaysInView_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 7") << 7u;
}

// A session of page operations on a long list in a small window, checked
// against a model of the page order and the current page after every step.
void TestPageControls::currentThumbnailStaysInView()
{
    QFETCH(quint32, seed);
    MainWindow* w = m_fx->window;
    w->resize(w->minimumSize());
    m_fx->SetResolution(50);
    QVERIFY(m_fx->SetPanelCombo("cmPaperSize", QStringLiteral("Business-card")));
    m_fx->answerer.SetAnswer(QMessageBox::Yes);

    QStringList model;
    int current = 0;
    int next = 1;
    const auto scanned = [&next](int count) {
        QStringList numbers;
        for (int i = 0; i < count; ++i) {
            numbers << QString::number(next++);
        }
        return numbers;
    };
    const auto load = [](int sheets, int step) {
        WindowFixture::WriteScenario(
            QStringLiteral("sheets=%1\nsource=Adf-front\nload=step%2").arg(sheets).arg(step));
    };
    load(40, 0);
    QVERIFY(Scan("actionScanToLast"));
    model = scanned(40);
    current = 39;

    // Every operation twice, in an order of the seed's.
    QRandomGenerator random(seed);
    QStringList ops;
    for (const char* op :
         {"last", "before", "after", "replace", "delete", "rotate", "jump", "first", "prev", "next", "end"}) {
        ops << QLatin1String(op) << QLatin1String(op);
    }
    std::shuffle(ops.begin(), ops.end(), random);
    QStringList done;
    for (int step = 1; step <= ops.size(); ++step) {
        const QString op = ops.at(step - 1);
        // Only what the user can do: no "首页" on the first page, and so on.
        if (((op == QLatin1String("first") || op == QLatin1String("prev")) && current == 0) ||
            ((op == QLatin1String("next") || op == QLatin1String("end")) && current == model.size() - 1)) {
            continue;
        }
        const int sheets = 1 + random.bounded(3);
        ScrollThumbsAway();
        if (op == QLatin1String("last")) {
            load(sheets, step);
            QVERIFY(Scan("actionScanToLast"));
            model << scanned(sheets);
            current = model.size() - 1;
        } else if (op == QLatin1String("before")) {
            load(sheets, step);
            QVERIFY(Scan("actionScantoPrev"));
            const QStringList added = scanned(sheets);
            for (int i = 0; i < sheets; ++i) {
                model.insert(current + i, added.at(i));
            }
            current += sheets;
        } else if (op == QLatin1String("after")) {
            load(sheets, step);
            QVERIFY(Scan("actionScanToNext"));
            const QStringList added = scanned(sheets);
            for (int i = 0; i < sheets; ++i) {
                model.insert(current + 1 + i, added.at(i));
            }
        } else if (op == QLatin1String("replace")) {
            load(3, step);
            QVERIFY(Scan("actionScanReplace"));
            model[current] = scanned(1).first();
        } else if (op == QLatin1String("delete")) {
            m_fx->Child<QAction>("actionDelete")->trigger();
            model.removeAt(current);
            if (current != 0 && model.size() <= current) {
                current = model.size() - 1;
            }
        } else if (op == QLatin1String("rotate")) {
            m_fx->Child<QAction>("actionRotateRight")->trigger();
            QVERIFY(m_fx->WaitJobDone());
        } else if (op == QLatin1String("jump")) {
            const int target = (current + 1 + random.bounded(model.size() - 1)) % model.size();
            m_fx->Child<QComboBox>("cmPageJump")->setCurrentIndex(target);
            current = target;
        } else if (op == QLatin1String("first")) {
            m_fx->Child<QAction>("actionFirstPage")->trigger();
            current = 0;
        } else if (op == QLatin1String("prev")) {
            m_fx->Child<QAction>("actionPrevPage")->trigger();
            current = qMax(0, current - 1);
        } else if (op == QLatin1String("next")) {
            m_fx->Child<QAction>("actionNextPage")->trigger();
            current = qMin(model.size() - 1, current + 1);
        } else {
            m_fx->Child<QAction>("actionLastPage")->trigger();
            current = model.size() - 1;
        }
        done << op;
        const QByteArray where = QStringLiteral("seed %1, steps %2").arg(seed).arg(done.join(' ')).toUtf8();
        QVERIFY2(Numbers() == model, where + " order " + Numbers().join(',').toUtf8());
        QVERIFY2(m_fx->View()->GetCurrentIndex() == current,
                 where + " current " + QByteArray::number(m_fx->View()->GetCurrentIndex()));
        QTest::qWait(1);
        const QString out = CurrentThumbOutOfView();
        QVERIFY2(out.isEmpty(), where + ": " + out.toUtf8());
    }
}

QTEST_MAIN(TestPageControls)
#include "tst_pagecontrols.moc"
