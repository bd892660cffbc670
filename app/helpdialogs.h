#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QPushButton;
class QTextBrowser;
class QTableWidget;

// One key of the window: the object (QAction or QShortcut) that owns it and
// its sequence in portable text.
struct KeyBinding {
    const char* object;
    const char* sequence;
};

// One row of the key table: the keys as the user reads them, what they do
// (a source text, translated when shown) and the bindings behind them.
struct ShortcutRow {
    const char* keys;
    const char* description;
    std::vector<KeyBinding> bindings;
};

// The single key table: the "快捷键" dialog shows it and docs/keyboard.md
// repeats it row for row.
const std::vector<ShortcutRow>& ShortcutTable();

// "使用说明": the manual built into the resources, in the given language
// (zh_CN, zh_TW or en_US; anything else falls back to zh_CN).
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    void ShowManual(const QString& locale);
    static QString ManualPath(const QString& locale);

private:
    void RetranslateTexts();

    QTextBrowser* m_browser = nullptr;
    QPushButton* m_closeButton = nullptr;
};

// "快捷键": every key of the window with what it does.
class ShortcutsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ShortcutsDialog(QWidget* parent = nullptr);

private:
    QTableWidget* m_table = nullptr;
};
