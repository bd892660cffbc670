// 帮助: the manual opened with F1 in the current language, and the key table
// that the "快捷键" dialog shows, docs/keyboard.md repeats and the window's
// actions really carry.
#include "helpdialogs.h"
#include "imageviewwidget.h"
#include "windowfixture.h"

#include "../support/contrast.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

namespace {

// The rows of the "## 快捷键" table of docs/keyboard.md as "keys | action".
QStringList DocumentedRows()
{
    QFile file(QStringLiteral(SCANVY_SOURCE_DIR "/docs/keyboard.md"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QStringList rows;
    bool inSection = false;
    int tableLine = 0;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("## "))) {
            inSection = (line == QStringLiteral("## 快捷键"));
            continue;
        }
        if (!inSection)
            continue;
        if (!line.startsWith(QLatin1Char('|'))) {
            if (tableLine > 0)
                break;
            continue;
        }
        // The header and the rule under it.
        if (++tableLine <= 2)
            continue;
        QStringList cells = line.split(QLatin1Char('|'));
        // "| a | b |" splits into "", " a ", " b ", "".
        cells = cells.mid(1, cells.size() - 2);
        for (QString& cell : cells)
            cell = cell.trimmed();
        rows << cells.join(QStringLiteral(" | "));
    }
    return rows;
}

QStringList TableRows()
{
    QStringList rows;
    for (const ShortcutRow& row : ShortcutTable())
        rows << QString::fromUtf8(row.keys) + QStringLiteral(" | ") + QString::fromUtf8(row.description);
    return rows;
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void documentedKeysAreTheTable();
    void tableIsTheWindowsKeys();
    void shortcutRowsShowWholeText_data();
    void shortcutRowsShowWholeText();
    void manualFollowsLanguage_data();
    void manualFollowsLanguage();
    void manualNamesTheControls_data();
    void manualNamesTheControls();
    void noScannerNoticeContrast();

private:
    QScopedPointer<WindowFixture> m_fx;
};

void TestHelp::initTestCase()
{
    // No scanner: the status line then shows its red notice, and the keys,
    // the manual and the key table do not depend on a scanner.
    WindowFixture::WriteScenario(QStringLiteral("usb=none\ndevices=zylkx:KX-F600"));
    m_fx.reset(new WindowFixture);
    m_fx->Start();
    QVERIFY(m_fx->window);
}

void TestHelp::cleanupTestCase()
{
    m_fx.reset();
}

void TestHelp::documentedKeysAreTheTable()
{
    const QStringList documented = DocumentedRows();
    QVERIFY(!documented.isEmpty());
    QCOMPARE(documented, TableRows());
}

// Every key an action or shortcut of the window has is in the table with that
// very sequence, and every binding of the table exists.
void TestHelp::tableIsTheWindowsKeys()
{
    QMainWindow* window = m_fx->window;
    QStringList real;
    for (const QAction* action : window->findChildren<QAction*>()) {
        for (const QKeySequence& key : action->shortcuts())
            real << action->objectName() + QLatin1Char('=') + key.toString(QKeySequence::PortableText);
    }
    for (const QShortcut* shortcut : window->findChildren<QShortcut*>()) {
        if (!shortcut->key().isEmpty())
            real << shortcut->objectName() + QLatin1Char('=') +
                        shortcut->key().toString(QKeySequence::PortableText);
    }
    QStringList listed;
    for (const ShortcutRow& row : ShortcutTable()) {
        for (const KeyBinding& binding : row.bindings)
            listed
                << QString::fromUtf8(binding.object) + QLatin1Char('=') +
                       QKeySequence(QString::fromUtf8(binding.sequence)).toString(QKeySequence::PortableText);
    }
    real.removeDuplicates();
    real.sort();
    listed.sort();
    QCOMPARE(real, listed);
}

void TestHelp::shortcutRowsShowWholeText_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("width");
    QTest::newRow("English, as wide as it opens") << 2 << 0;
    QTest::newRow("English, on a small screen") << 2 << 420;
    QTest::newRow("繁體中文, on a small screen") << 1 << 360;
    QTest::newRow("简体中文, on a small screen") << 0 << 360;
}

// The "快捷键" dialog shows the key table (in Simplified Chinese its very
// texts), and no description is cut off: a row is as tall as its wrapped
// text at the width the dialog gives it.
void TestHelp::shortcutRowsShowWholeText()
{
    QFETCH(int, language);
    QFETCH(int, width);
    m_fx->Child<QComboBox>("cmLanguage")->setCurrentIndex(language);
    QCoreApplication::processEvents();
    QStringList cut;
    QStringList shown;
    bool seen = false;
    QTimer::singleShot(0, [&]() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        if (width > 0)
            dialog->resize(width, dialog->height());
        QTest::qWait(50);
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("shortcutTable"));
        for (int i = 0; table && i < table->rowCount(); ++i) {
            shown << table->item(i, 0)->text() + QStringLiteral(" | ") + table->item(i, 1)->text();
            // The height the description's cell needs at its column's width.
            QStyleOptionViewItem option;
            option.initFrom(table->viewport());
            option.font = table->font();
            option.fontMetrics = QFontMetrics(option.font);
            option.features |= QStyleOptionViewItem::WrapText;
            option.rect = QRect(0, 0, table->columnWidth(1), 1);
            const QModelIndex index = table->model()->index(i, 1);
            const int needed = table->itemDelegate()->sizeHint(option, index).height();
            if (table->rowHeight(i) < needed)
                cut << QStringLiteral("%1: %2 < %3")
                           .arg(table->item(i, 1)->text())
                           .arg(table->rowHeight(i))
                           .arg(needed);
        }
        dialog->reject();
    });
    m_fx->Child<QAction>("actionShortcuts")->trigger();
    QVERIFY(seen);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    if (language == 0)
        QCOMPARE(shown, TableRows());
    else
        QCOMPARE(shown.size(), TableRows().size());
}

void TestHelp::manualFollowsLanguage_data()
{
    QTest::addColumn<int>("from"); // the language F1 opens the manual in
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("recovery");
    QTest::addColumn<int>("to"); // chosen while it is open
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("close");
    QTest::newRow("简体中文, then English") << 0 << "scanvy 使用说明"
                                            << "意外退出后的恢复" << 2 << "Manual"
                                            << "Close";
    QTest::newRow("English, then 繁體中文") << 2 << "scanvy manual"
                                            << "Recovery after a crash" << 1 << "使用說明"
                                            << "關閉";
    QTest::newRow("繁體中文, then 简体中文") << 1 << "scanvy 使用說明"
                                             << "意外結束後的復原" << 0 << "使用说明"
                                             << "关闭";
}

// F1 opens the manual in the current language; it stays open beside the
// window, and a language chosen meanwhile on 系统配置 reaches its title, its
// button and its page at once.
void TestHelp::manualFollowsLanguage()
{
    QFETCH(int, from);
    QFETCH(QString, heading);
    QFETCH(QString, recovery);
    QFETCH(int, to);
    QFETCH(QString, title);
    QFETCH(QString, close);
    const QStringList pages{"qrc:/help/manual_zh_CN.html", "qrc:/help/manual_zh_TW.html",
                            "qrc:/help/manual_en_US.html"};
    QMainWindow* window = m_fx->window;
    auto* box = m_fx->Child<QComboBox>("cmLanguage");
    QVERIFY(box);
    box->setCurrentIndex(from);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(window));
    QTest::keyClick(window, Qt::Key_F1);
    auto* help = window->findChild<HelpWindow*>(QStringLiteral("HelpWindow"));
    QVERIFY(help);
    QVERIFY(help->isVisible());
    auto* browser = help->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
    QVERIFY(browser);
    QCOMPARE(browser->source().toString(), pages.at(from));
    const QString text = browser->toPlainText();
    QVERIFY2(text.contains(heading), qPrintable(text.left(80)));
    QVERIFY(text.contains(recovery));

    box->setCurrentIndex(to);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QVERIFY(help->isVisible());
    QCOMPARE(help->windowTitle(), title);
    auto* buttons = help->findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    QCOMPARE(buttons->buttons().size(), 1);
    QCOMPARE(buttons->buttons().first()->text(), close);
    QCOMPARE(browser->source().toString(), pages.at(to));
    help->close();
}

void TestHelp::manualNamesTheControls_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("manual");
    QTest::newRow("简体中文") << 0 << ":/help/manual_zh_CN.html";
    QTest::newRow("繁體中文") << 1 << ":/help/manual_zh_TW.html";
    QTest::newRow("English") << 2 << ":/help/manual_en_US.html";
}

// The manual calls the commands and settings what the window in its
// language calls them, each command with its key, and the empty large view
// says how to start in that language.
void TestHelp::manualNamesTheControls()
{
    QFETCH(int, language);
    QFETCH(QString, manual);
    m_fx->Child<QComboBox>("cmLanguage")->setCurrentIndex(language);
    QCoreApplication::processEvents();
    QFile file(manual);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    // Quotation marks aside, as the manual sets names in them.
    QString text = document.toPlainText();
    text.remove(QRegularExpression(QStringLiteral("[“”「」\"]")));
    const bool chinese = language != 2;
    QStringList missing;
    for (const char* name : {"actionScanToLast", "actionScanReplace", "actionUndo", "actionRedo",
                             "actionCopyText", "actionSave", "actionSaveAs"}) {
        const QAction* action = m_fx->Child<QAction>(name);
        const QString key = action->shortcut().toString(QKeySequence::NativeText);
        const QString named = action->text() + (chinese ? QStringLiteral("（") : QStringLiteral(" (")) + key;
        if (!text.contains(named))
            missing << named;
    }
    auto setting = [](QString label) {
        return label.remove(QRegularExpression(QStringLiteral("[:：\\s]+$")));
    };
    const QStringList settings{setting(m_fx->LabelText("lblLanguage")),
                               setting(m_fx->LabelText("lblOcrLanguage")),
                               m_fx->Child<QAbstractButton>("cbShowAllScanners")->text(),
                               m_fx->Child<QComboBox>("cmOcrLanguage")->itemText(1)};
    for (const QString& name : settings) {
        if (!text.contains(name))
            missing << name;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(" | "))));

    // No page yet: the hint, with the key of the first scan command.
    auto* hint = m_fx->Child<QLabel>("lblEmptyHint");
    QVERIFY(hint->isVisibleTo(m_fx->Child<QWidget>("scrollArea")));
    QVERIFY(text.contains(hint->text()));
    QVERIFY(hint->text().contains(m_fx->Child<QAction>("actionScanToLast")->shortcut().toString()));
    if (language == 2) {
        // A page hides it until the list is empty again.
        QWidget* view = m_fx->Child<QWidget>("scrollArea");
        m_fx->View()->AddImages(QList<QString>{QStringLiteral("/nonexistent/page0001.jpg")}, 0);
        QVERIFY(!hint->isVisibleTo(view));
        m_fx->View()->ClearImages();
        QVERIFY(hint->isVisibleTo(view));
    }
    m_fx->Child<QComboBox>("cmLanguage")->setCurrentIndex(0);
    QCoreApplication::processEvents();
}

void TestHelp::noScannerNoticeContrast()
{
    QMainWindow* window = m_fx->window;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(m_fx->LabelText("lblScannerInfo"), QStringLiteral("未连接扫描仪"));
    auto* label = m_fx->Child<QLabel>("lblScannerInfo");
    // Inside the label's one-pixel border, with the window's background.
    const QRect box(label->mapTo(window, QPoint(2, 2)), label->size() - QSize(4, 4));
    QString detail;
    const double ratio = Contrast::TextContrast(window->grab(box).toImage(), &detail);
    QVERIFY2(ratio >= 4.5, qPrintable(detail));
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
