// The interface language on the real main window: chosen on the system page,
// applied at once to the window, the settings pages, the panels and the
// status line, stored, and in force at the next start; the generic panel's
// option texts follow through the backends' own catalogue.
#include "genericscanneroptionswidget.h"
#include "imageviewwidget.h"
#include "interruptedpage.h"
#include "optionscontainerwidget.h"
#include "sanescan.h"
#include "startuptranslation.h"
#include "sysconfigpage.h"
#include "thumblistwidget.h"
#include "thumbnailitemdelegate.h"
#include "thumbnailloader.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTranslator>
#include <QVBoxLayout>
#include <QtTest>

namespace {

const QString kTest = QStringLiteral("test:0");

bool HasCjk(const QString& text)
{
    static const QRegularExpression cjk(
        QStringLiteral("[\\x{3400}-\\x{9fff}\\x{f900}-\\x{faff}\\x{ff01}-\\x{ff5e}]"));
    return cjk.match(text).hasMatch();
}

// Every text a user reads under `root`: labels, buttons, boxes, tab titles
// and list items (the language list, which names each language in its own
// script, is left out).
QStringList ShownTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        texts << label->text();
    for (const QAbstractButton* button : root->findChildren<QAbstractButton*>())
        texts << button->text();
    for (const QGroupBox* box : root->findChildren<QGroupBox*>())
        texts << box->title();
    for (const QTabWidget* tabs : root->findChildren<QTabWidget*>()) {
        for (int i = 0; i < tabs->count(); ++i)
            texts << tabs->tabText(i);
    }
    for (const QComboBox* combo : root->findChildren<QComboBox*>()) {
        if (combo->objectName() == QLatin1String("cmLanguage"))
            continue;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    }
    return texts;
}

QStringList MenuTexts(const QMainWindow* window)
{
    QStringList texts;
    for (const QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
        texts << menu->title();
        for (const QAction* action : menu->actions())
            texts << action->text();
    }
    for (const QMenu* menu : window->findChildren<QMenu*>(QStringLiteral("contextMenu"))) {
        for (const QAction* action : menu->actions())
            texts << action->text();
    }
    return texts;
}

QStringList WithCjk(const QStringList& texts)
{
    QStringList found;
    for (const QString& text : texts) {
        if (HasCjk(text))
            found << text;
    }
    return found;
}

void WriteSysConfig(const WindowFixture& fx, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(fx.SettingsFile()).path());
    QFile ini(fx.SettingsFile());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(text);
}

// The label of the generic panel's row for option `name`.
QString RowTitle(const QWidget* panel, const char* name)
{
    auto* widget = panel->findChild<QWidget*>(QLatin1String(name));
    if (widget == nullptr || widget->parentWidget() == nullptr)
        return QString();
    auto* form = qobject_cast<QFormLayout*>(widget->parentWidget()->layout());
    auto* label = form ? qobject_cast<QLabel*>(form->labelForField(widget)) : nullptr;
    return label ? label->text() : QString();
}

QStringList GroupTitles(const QWidget* panel)
{
    QStringList titles;
    for (const QGroupBox* box : panel->findChildren<QGroupBox*>())
        titles << box->title();
    return titles;
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void switchLanguage_data();
    void switchLanguage();
    void undoStepsReadInEnglish();
    void storedLanguageAtStart();
    void backendTextsFollowLanguage();
    void interruptedMarkFollowsLanguage();
    void storedLanguageBeforeWindow_data();
    void storedLanguageBeforeWindow();

private:
    void ChooseLanguage(QMainWindow* window, int index);
    QScopedPointer<WindowFixture> m_fx;
    QTranslator m_toolkit;
};

void TestLanguage::initTestCase()
{
    // The toolkit's catalogue, as the program installs it at start-up.
    QVERIFY(m_toolkit.load(QStringLiteral(":/trans/qtbase_zh_CN.qm")));
    QCoreApplication::installTranslator(&m_toolkit);
    // libsane's own test backend joins the simulated ones.
    QVERIFY(WindowFixture::AddTestBackend(qEnvironmentVariable("SANE_CONFIG_DIR"), false));
    // A family scanner, so that its panel is the one on the settings page.
    m_fx.reset(new WindowFixture);
    QVERIFY(m_fx->Start());
    QVERIFY(m_fx->Panel());
}

void TestLanguage::ChooseLanguage(QMainWindow* window, int index)
{
    auto* box = window->findChild<QComboBox*>(QStringLiteral("cmLanguage"));
    QVERIFY(box);
    // The row is part of the page (the page itself may be out of sight).
    QVERIFY(!box->isHidden());
    QVERIFY(!window->findChild<QLabel*>(QStringLiteral("lblLanguage"))->isHidden());
    box->setCurrentIndex(index);
    // The toolkit's language-change events are posted.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// The rows run in order on one window: to English, to Traditional Chinese
// and back to Simplified Chinese.
void TestLanguage::switchLanguage_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("save");
    QTest::addColumn<QString>("scannerLabel");
    QTest::addColumn<QString>("duplexSource");
    QTest::addColumn<QString>("toolkitSave");
    QTest::newRow("English") << 2 << "Save"
                             << "Connected scanner: "
                             << "Feeder (duplex)"
                             << "Save";
    QTest::newRow("繁體中文") << 1 << "儲存"
                              << "目前連接掃描器："
                              << "進紙器(雙面)"
                              << "儲存";
    QTest::newRow("简体中文") << 0 << "保存"
                              << "当前连接扫描仪："
                              << "进纸器(双面)"
                              << "保存";
}

void TestLanguage::switchLanguage()
{
    QFETCH(int, index);
    QFETCH(QString, save);
    QFETCH(QString, scannerLabel);
    QFETCH(QString, duplexSource);
    QFETCH(QString, toolkitSave);
    MainWindow* window = m_fx->window;
    ChooseLanguage(window, index);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_fx->Setting(QStringLiteral("System/Language")), QString::number(index));

    QCOMPARE(m_fx->Child<QAction>("actionSave")->text(), save);
    QVERIFY2(m_fx->LabelText("lblScannerInfo").startsWith(scannerLabel),
             qPrintable(m_fx->LabelText("lblScannerInfo")));
    auto* source = m_fx->Child<QComboBox>("cmSource");
    QVERIFY(source);
    QCOMPARE(source->itemText(source->findData(QStringLiteral("Adf-duplex"))), duplexSource);
    // The toolkit's standard buttons of the program's message boxes.
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Save | QMessageBox::Cancel,
                    window);
    QCOMPARE(box.button(QMessageBox::Save)->text(), toolkitSave);

    // Menus, the status line, both settings pages and the family panel.
    const QStringList texts =
        MenuTexts(window) + ShownTexts(window->findChild<QWidget*>("frmSystemSetting")) +
        ShownTexts(m_fx->Container()) +
        QStringList{m_fx->LabelText("lblScannerInfo"), m_fx->LabelText("lblImgInfo"), window->windowTitle()};
    const QStringList cjk = WithCjk(texts);
    if (index == 2)
        QVERIFY2(cjk.isEmpty(), qPrintable(cjk.join(QLatin1String(" | "))));
    else
        QVERIFY(cjk.size() * 2 > texts.size()); // most texts are in Chinese again
}

// In English the undo and redo entries name the command as the menu does,
// with the number of pages in its plural form.
void TestLanguage::undoStepsReadInEnglish()
{
    ChooseLanguage(m_fx->window, 2);
    if (QTest::currentTestFailed())
        return;
    auto* undo = m_fx->Child<QAction>("actionUndo");
    auto* redo = m_fx->Child<QAction>("actionRedo");
    for (int sheets : {3, 1}) {
        WindowFixture::WriteScenario(QStringLiteral("sheets=%1").arg(sheets));
        m_fx->Child<QAction>("actionScanToLast")->trigger();
        QVERIFY(m_fx->WaitIdle());
    }
    QCOMPARE(undo->text(), QStringLiteral("Undo Scan to End (1 image)"));
    undo->trigger();
    QCOMPARE(undo->text(), QStringLiteral("Undo Scan to End (3 images)"));
    QCOMPARE(redo->text(), QStringLiteral("Redo Scan to End (1 image)"));
    ChooseLanguage(m_fx->window, 0);
}

void TestLanguage::storedLanguageAtStart()
{
    WindowFixture fx;
    WriteSysConfig(fx, "[System]\nLanguage=2\n");
    QVERIFY(fx.Start());
    QCOMPARE(fx.Child<QComboBox>("cmLanguage")->currentIndex(), 2);
    QCOMPARE(fx.Child<QAction>("actionSave")->text(), QStringLiteral("Save"));
    const QStringList cjk = WithCjk(MenuTexts(fx.window) + ShownTexts(fx.Container()));
    QVERIFY2(cjk.isEmpty(), qPrintable(cjk.join(QLatin1String(" | "))));
    fx.Session()->Exit();
}

void TestLanguage::backendTextsFollowLanguage()
{
    m_fx->Session()->Exit();
    m_fx.reset();
    WindowFixture fx;
    WriteSysConfig(fx, "[Scanner]\nShowAllScanners=2\n[System]\nLanguage=0\n");
    WindowFixture::WriteScenario(QStringLiteral("devices="));
    QVERIFY(fx.Start());
    auto* panel = dynamic_cast<GenericScannerOptionsWidget*>(fx.Panel());
    QVERIFY(panel);

    // The selector names the device's maker and model.
    auto* selector = fx.Child<QComboBox>("cmScannerList");
    QCOMPARE(selector->itemText(0), kTest);
    QCOMPARE(selector->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("Noname frontend-tester"));

    // Titles, groups, descriptions and values from the sane-backends
    // catalogue in Simplified Chinese, the backend's own words in English.
    struct Expect {
        QString title;
        QString group;
        QString tip;
        QString value;
    };
    const Expect chinese{QStringLiteral("扫描模式:"), QStringLiteral("扫描模式"),
                         QStringLiteral("选择扫描模式 (例如线稿、单色、彩色)。"), QStringLiteral("纯黑")};
    const Expect english{QStringLiteral("Scan mode:"), QStringLiteral("Scan Mode"),
                         QStringLiteral("Selects the scan mode (e.g., lineart, monochrome, or color)."),
                         QStringLiteral("Solid black")};
    // Programs the window starts (the drivers' tools) keep the environment.
    const QByteArray environment = qgetenv("LANGUAGE");
    for (int index : {0, 2, 0}) {
        ChooseLanguage(fx.window, index);
        if (QTest::currentTestFailed())
            return;
        const Expect& want = index == 0 ? chinese : english;
        QCOMPARE(RowTitle(panel, "mode"), want.title);
        QVERIFY2(GroupTitles(panel).contains(want.group),
                 qPrintable(GroupTitles(panel).join(QLatin1String(" | "))));
        auto* mode = panel->findChild<QComboBox*>(QStringLiteral("mode"));
        QVERIFY(mode);
        QVERIFY2(mode->toolTip().startsWith(want.tip), qPrintable(mode->toolTip()));
        QVERIFY(mode->toolTip().endsWith(QLatin1String("(mode)")));
        QCOMPARE(qgetenv("LANGUAGE"), environment);
        // A value without a text of the program's own.
        auto* picture = panel->findChild<QComboBox*>(QStringLiteral("test-picture"));
        QVERIFY(picture);
        QCOMPARE(picture->itemText(picture->findData(QStringLiteral("Solid black"))), want.value);
    }
    fx.Session()->Exit();
}

// A page whose file never completed keeps its mark in the new language.
void TestLanguage::interruptedMarkFollowsLanguage()
{
    QTemporaryDir dir;
    QWidget host;
    auto* list = new ThumbListWidget(&host);
    list->setMinimumHeight(200);
    auto* layout = new QVBoxLayout(&host);
    layout->addWidget(list);
    auto* view = new ImageViewWidget(list, layout, &host);
    view->AddImage(dir.filePath(QStringLiteral("page0001.jpg"))); // never written
    host.resize(400, 400);
    host.show();
    const QModelIndex index = list->model()->index(0, 0);
    // The row as the column draws it, its page's state known.
    auto drawn = [list, view, index]() {
        list->viewport()->grab();
        while (view->Thumbnails()->IsDecoding()) {
            view->Thumbnails()->WaitForDecodes(20);
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        return list->viewport()->grab().toImage().copy(list->visualRect(index));
    };
    const QImage chinese = drawn();
    QVERIFY(qobject_cast<ThumbnailItemDelegate*>(list->itemDelegate())->ShowsMark(index));
    QTranslator english;
    QVERIFY(english.load(QStringLiteral(":/trans/en_US.qm")));
    QCoreApplication::installTranslator(&english);
    QCoreApplication::processEvents();
    QCOMPARE(InterruptedPage::MarkText(), QStringLiteral("Incomplete"));
    const QImage translated = drawn();
    const QRect sheet = ThumbnailItemDelegate::ImageRect(chinese.rect());
    const QRect mark = ThumbnailItemDelegate::MarkRect(chinese.rect());
    QVERIFY(translated.copy(sheet) != chinese.copy(sheet));
    QVERIFY(translated.copy(mark) != chinese.copy(mark));
    QCoreApplication::removeTranslator(&english);
    QCoreApplication::processEvents();
    QCOMPARE(drawn(), chinese);
    delete view;
}

// What start-up says before the window exists (a refused second start) is
// in the stored language, the box's button included; reading it writes
// nothing.
void TestLanguage::storedLanguageBeforeWindow_data()
{
    QTest::addColumn<QByteArray>("ini"); // empty: no file
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("running");
    QTest::addColumn<QString>("ok");
    const QString cn = QStringLiteral(":/trans/zh_CN.qm");
    const QString running = QStringLiteral("泽科维扫描软件正在运行");
    const QString ok = QStringLiteral("确定");
    QTest::newRow("no file") << QByteArray() << cn << running << ok;
    QTest::newRow("no key") << QByteArray("[Scanner]\nPrefix=a\n") << cn << running << ok;
    QTest::newRow("0") << QByteArray("[System]\nLanguage=0\n") << cn << running << ok;
    QTest::newRow("1") << QByteArray("[System]\nLanguage=1\n") << ":/trans/zh_TW.qm"
                       << "澤科維掃描軟體正在執行"
                       << "確定";
    QTest::newRow("2") << QByteArray("[System]\nLanguage=2\n") << ":/trans/en_US.qm"
                       << "Zekewei Scan is already running"
                       << "OK";
    QTest::newRow("out of range") << QByteArray("[System]\nLanguage=3\n") << cn << running << ok;
    QTest::newRow("not a number") << QByteArray("[System]\nLanguage=en\n") << cn << running << ok;
}

void TestLanguage::storedLanguageBeforeWindow()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, catalogue);
    QFETCH(QString, running);
    QFETCH(QString, ok);
    QTemporaryDir home;
    const QString file = MainWindow::ConfigFilePathFor(home.path());
    if (!ini.isEmpty()) {
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(ini);
    }
    QCOMPARE(SysConfigPage::StoredTranslationFile(file), catalogue);
    // The refusal's box, built as start-up builds it, with nothing but the
    // start-up's catalogues installed.
    QCoreApplication::removeTranslator(&m_toolkit);
    {
        StartupTranslation startup(file);
        QMessageBox box(QMessageBox::Critical, QObject::tr("错误"), QObject::tr("泽科维扫描软件正在运行"),
                        QMessageBox::Ok);
        QCOMPARE(box.text(), running);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), ok);
    }
    QCOMPARE(QObject::tr("泽科维扫描软件正在运行"), QStringLiteral("泽科维扫描软件正在运行"));
    QCoreApplication::installTranslator(&m_toolkit);
    QCOMPARE(QFileInfo::exists(file), !ini.isEmpty());
    if (!ini.isEmpty()) {
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), ini);
    }
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
