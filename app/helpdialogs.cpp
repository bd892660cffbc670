#include "helpdialogs.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const char kContext[] = "ShortcutsDialog";
} // namespace

const std::vector<ShortcutRow>& ShortcutTable()
{
    static const std::vector<ShortcutRow> table = {
        {"F5", QT_TRANSLATE_NOOP("ShortcutsDialog", "扫描到最后"), {{"actionScanToLast", "F5"}}},
        {"F6", QT_TRANSLATE_NOOP("ShortcutsDialog", "扫描到之前"), {{"actionScantoPrev", "F6"}}},
        {"F7", QT_TRANSLATE_NOOP("ShortcutsDialog", "扫描到之后"), {{"actionScanToNext", "F7"}}},
        {"F8", QT_TRANSLATE_NOOP("ShortcutsDialog", "替换扫描"), {{"actionScanReplace", "F8"}}},
        {"Ctrl+Shift+S", QT_TRANSLATE_NOOP("ShortcutsDialog", "保存"), {{"actionSave", "Ctrl+Shift+S"}}},
        {"Ctrl+Shift+A",
         QT_TRANSLATE_NOOP("ShortcutsDialog",
                           "另存为…：选择文件名、文件夹和格式保存全部图像（不使用计数器）"),
         {{"actionSaveAs", "Ctrl+Shift+A"}}},
        {"Ctrl+Shift+C",
         QT_TRANSLATE_NOOP("ShortcutsDialog", "复制文字：选中图像识别出的文字（缩略图列中也可按 Ctrl+C）"),
         {{"actionCopyText", "Ctrl+Shift+C"}}},
        {"Ctrl+Z",
         QT_TRANSLATE_NOOP("ShortcutsDialog", "撤销：取消上一步对图像列表的更改"),
         {{"actionUndo", "Ctrl+Z"}}},
        {"Ctrl+Y / Ctrl+Shift+Z",
         QT_TRANSLATE_NOOP("ShortcutsDialog", "重做：恢复刚撤销的更改"),
         {{"actionRedo", "Ctrl+Y"}, {"actionRedo", "Ctrl+Shift+Z"}}},
        {"Ctrl+A", QT_TRANSLATE_NOOP("ShortcutsDialog", "全选"), {{"actionSelectAll", "Ctrl+A"}}},
        {"Ctrl+R", QT_TRANSLATE_NOOP("ShortcutsDialog", "反选"), {{"actionSelectReverse", "Ctrl+R"}}},
        {"Ctrl+↑",
         QT_TRANSLATE_NOOP("ShortcutsDialog", "上移：选中的图像向前移一位"),
         {{"actionMoveUp", "Ctrl+Up"}}},
        {"Ctrl+↓",
         QT_TRANSLATE_NOOP("ShortcutsDialog", "下移：选中的图像向后移一位"),
         {{"actionMoveDown", "Ctrl+Down"}}},
        {"Del", QT_TRANSLATE_NOOP("ShortcutsDialog", "删除选中的图像"), {{"actionDelete", "Del"}}},
        {"+ / -",
         QT_TRANSLATE_NOOP("ShortcutsDialog", "放大 / 缩小"),
         {{"actionZoomIn", "+"}, {"actionZoomOut", "-"}}},
        {"Home / End",
         QT_TRANSLATE_NOOP("ShortcutsDialog", "首页 / 尾页"),
         {{"actionFirstPage", "Home"}, {"actionLastPage", "End"}}},
        {"↑ / ↓",
         QT_TRANSLATE_NOOP("ShortcutsDialog", "上一页 / 下一页"),
         {{"actionPrevPage", "Up"}, {"actionNextPage", "Down"}}},
        {"Ctrl+G",
         QT_TRANSLATE_NOOP("ShortcutsDialog", "跳到页码框：输入页码后按 Enter"),
         {{"shortcutPageJump", "Ctrl+G"}}},
        {"Ctrl+I", QT_TRANSLATE_NOOP("ShortcutsDialog", "图像显示"), {{"actionImageView", "Ctrl+I"}}},
        {"Ctrl+F", QT_TRANSLATE_NOOP("ShortcutsDialog", "扫描配置"), {{"actionScanConfig", "Ctrl+F"}}},
        {"Ctrl+S", QT_TRANSLATE_NOOP("ShortcutsDialog", "系统配置"), {{"actionSystemConfig", "Ctrl+S"}}},
        {"F1", QT_TRANSLATE_NOOP("ShortcutsDialog", "使用说明"), {{"actionManual", "F1"}}},
        {"Ctrl+H", QT_TRANSLATE_NOOP("ShortcutsDialog", "关于"), {{"actionAbout", "Ctrl+H"}}},
    };
    return table;
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HelpWindow"));
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(true);
    // A button of our own: the box gives a standard button the toolkit's text
    // again on every language change, over the text set by ShowManual.
    auto* buttons = new QDialogButtonBox(this);
    m_closeButton = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    m_closeButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    RetranslateTexts();
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(720, 640);
}

QString HelpWindow::ManualPath(const QString& locale)
{
    const QString lang = (locale == QLatin1String("zh_TW") || locale == QLatin1String("en_US"))
                             ? locale
                             : QStringLiteral("zh_CN");
    return QStringLiteral(":/help/manual_%1.html").arg(lang);
}

void HelpWindow::RetranslateTexts()
{
    setWindowTitle(tr("使用说明"));
    m_closeButton->setText(tr("关闭"));
}

void HelpWindow::ShowManual(const QString& locale)
{
    RetranslateTexts();
    m_browser->setSource(QUrl(QStringLiteral("qrc") + ManualPath(locale)));
}

ShortcutsDialog::ShortcutsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ShortcutsDialog"));
    setWindowTitle(tr("快捷键"));
    const auto& rows = ShortcutTable();
    m_table = new QTableWidget(static_cast<int>(rows.size()), 2, this);
    m_table->setObjectName(QStringLiteral("shortcutTable"));
    m_table->setHorizontalHeaderLabels({tr("按键"), tr("操作")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        m_table->setItem(i, 0, new QTableWidgetItem(QString::fromUtf8(rows[i].keys)));
        m_table->setItem(i, 1,
                         new QTableWidgetItem(QCoreApplication::translate(kContext, rows[i].description)));
    }
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    // A long description wraps onto as many lines as it needs at the width
    // the dialog leaves it, rather than being cut off with "…".
    m_table->setWordWrap(true);
    m_table->setTextElideMode(Qt::ElideNone);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(tr("关闭"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(560, 560);
}
