#include "parentscanneroptions.h"

#include "configsetting.h"
#include "optionslog.h"
#include "optionwidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QtGlobal>

#include <cstring>

#include <sane/sane.h>

namespace {

// Item flags of a combo box's item that can be chosen.
constexpr int kItemEnabledFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;

struct ValueName {
    const char* value;
    const char* display;
};

// Display texts of the devices' option values.
const ValueName kValueNames[] = {
    {"Flatbed", QT_TRANSLATE_NOOP("QObject", "平板")},
    {"Adf-front", QT_TRANSLATE_NOOP("QObject", "进纸器(正面)")},
    {"Adf-back", QT_TRANSLATE_NOOP("QObject", "进纸器(背面)")},
    {"Adf-duplex", QT_TRANSLATE_NOOP("QObject", "进纸器(双面)")},
    {"Lineart", QT_TRANSLATE_NOOP("QObject", "黑白")},
    {"Gray", QT_TRANSLATE_NOOP("QObject", "灰度")},
    {"Color", QT_TRANSLATE_NOOP("QObject", "彩色")},
    {"Auto-color-detect", QT_TRANSLATE_NOOP("QObject", "自动检测颜色")},
    {"Multi-image-output", QT_TRANSLATE_NOOP("QObject", "多流输出")},
    {"Color+BW", QT_TRANSLATE_NOOP("QObject", "彩色+黑白")},
    {"Gray+BW", QT_TRANSLATE_NOOP("QObject", "灰度+黑白")},
    {"Double-Letter", QT_TRANSLATE_NOOP("QObject", "Double-Letter纸")},
    {"Letter", QT_TRANSLATE_NOOP("QObject", "Letter纸")},
    {"Legal", QT_TRANSLATE_NOOP("QObject", "Legal纸")},
    {"Folio", QT_TRANSLATE_NOOP("QObject", "Folio纸")},
    {"Executive", QT_TRANSLATE_NOOP("QObject", "Executive纸")},
    {"Postcard", QT_TRANSLATE_NOOP("QObject", "明信片")},
    {"Business-card", QT_TRANSLATE_NOOP("QObject", "名片")},
    {"Speed", QT_TRANSLATE_NOOP("QObject", "速度")},
    {"Accuracy", QT_TRANSLATE_NOOP("QObject", "准确度")},
    {"Old_specification", QT_TRANSLATE_NOOP("QObject", "常规")},
    {"Automatic-size", QT_TRANSLATE_NOOP("QObject", "自动尺寸")},
    {"Overscan", QT_TRANSLATE_NOOP("QObject", "过度扫描")},
    {"Black", QT_TRANSLATE_NOOP("QObject", "黑色")},
    {"White", QT_TRANSLATE_NOOP("QObject", "白色")},
    {"iDTC", QT_TRANSLATE_NOOP("QObject", "动态阈值")},
    {"SDTC", QT_TRANSLATE_NOOP("QObject", "SDTC 模式")},
    {"Threshold", QT_TRANSLATE_NOOP("QObject", "静态阈值")},
    {"Error-diffusion", QT_TRANSLATE_NOOP("QObject", "误差扩散")},
    {"Do-not-detect", QT_TRANSLATE_NOOP("QObject", "不检测")},
    {"Stop", QT_TRANSLATE_NOOP("QObject", "检测")},
    {"Custom", QT_TRANSLATE_NOOP("QObject", "自定义")},
    {"Background-color", QT_TRANSLATE_NOOP("QObject", "背景色")},
    {"Advanced", QT_TRANSLATE_NOOP("QObject", "高级")},
    {"Red", QT_TRANSLATE_NOOP("QObject", "红色")},
    {"Green", QT_TRANSLATE_NOOP("QObject", "绿色")},
    {"Blue", QT_TRANSLATE_NOOP("QObject", "蓝色")},
    {"None", QT_TRANSLATE_NOOP("QObject", "无")},
    {"Smoothing", QT_TRANSLATE_NOOP("QObject", "平滑")},
    {"Emphasis-level-1", QT_TRANSLATE_NOOP("QObject", "强调轮廓 Level 1")},
    {"Emphasis-level-2", QT_TRANSLATE_NOOP("QObject", "强调轮廓 Level 2")},
    {"Emphasis-level-3", QT_TRANSLATE_NOOP("QObject", "强调轮廓 Level 3")},
    {"Descreen-level-1", QT_TRANSLATE_NOOP("QObject", "消除网线 Level 1")},
    {"Descreen-level-2", QT_TRANSLATE_NOOP("QObject", "消除网线 Level 2")},
    {"Descreen-level-3", QT_TRANSLATE_NOOP("QObject", "消除网线 Level 3")},
    {"Descreen-level-4", QT_TRANSLATE_NOOP("QObject", "消除网线 Level 4")},
    {"Low", QT_TRANSLATE_NOOP("QObject", "低")},
    {"Mid", QT_TRANSLATE_NOOP("QObject", "中")},
    {"High", QT_TRANSLATE_NOOP("QObject", "高")},
    {"444", QT_TRANSLATE_NOOP("QObject", "YUV444")},
    {"422", QT_TRANSLATE_NOOP("QObject", "YUV422")},
    {"411", QT_TRANSLATE_NOOP("QObject", "YUV411")},
    {"Off", QT_TRANSLATE_NOOP("QObject", "关闭")},
    {"Back-side", QT_TRANSLATE_NOOP("QObject", "背书器(背面)")},
    {"Horizontal-normal", QT_TRANSLATE_NOOP("QObject", "水平-标准")},
    {"Horizontal-bold", QT_TRANSLATE_NOOP("QObject", "水平-粗体")},
    {"Horizontal-narrow", QT_TRANSLATE_NOOP("QObject", "横排-瘦体")},
    {"Vertical-normal", QT_TRANSLATE_NOOP("QObject", "垂直-标准")},
    {"Vertical-bold", QT_TRANSLATE_NOOP("QObject", "垂直-粗体")},
    {"Top-to-bottom", QT_TRANSLATE_NOOP("QObject", "顶部到底部")},
    {"Bottom-to-top", QT_TRANSLATE_NOOP("QObject", "底部到顶部")},
    {"Automatic", QT_TRANSLATE_NOOP("QObject", "自动")},
    {"Normal", QT_TRANSLATE_NOOP("QObject", "普通")},
    {"Soft", QT_TRANSLATE_NOOP("QObject", "柔和")},
    {"Sharp", QT_TRANSLATE_NOOP("QObject", "锐化")},
    {"Bright", QT_TRANSLATE_NOOP("QObject", "明亮")},
    {"Standard", QT_TRANSLATE_NOOP("QObject", "标准")},
    {"Auto", QT_TRANSLATE_NOOP("QObject", "自动")},
    {"Top", QT_TRANSLATE_NOOP("QObject", "上")},
    {"Bottom", QT_TRANSLATE_NOOP("QObject", "下")},
    {"Left", QT_TRANSLATE_NOOP("QObject", "左")},
    {"Right", QT_TRANSLATE_NOOP("QObject", "右")},
    {"Simplex-scan", QT_TRANSLATE_NOOP("QObject", "直接扫描")},
    {"Double-letterL", QT_TRANSLATE_NOOP("QObject", "Double-letterL纸")},
    {"LetterL", QT_TRANSLATE_NOOP("QObject", "LetterL纸")},
    {"LegalL", QT_TRANSLATE_NOOP("QObject", "LegalL纸")},
    {"PostcardL", QT_TRANSLATE_NOOP("QObject", "明信片")},
    {"Business-cardL", QT_TRANSLATE_NOOP("QObject", "名片")},
};

// The fixed sharpness list, in item order; the texts are those of kValueNames.
const char* const kCleanupSharpness[] = {
    "None",
    "Smoothing",
    "Emphasis-level-3",
    "Emphasis-level-2",
    "Emphasis-level-1",
    "Descreen-level-1",
    "Descreen-level-2",
    "Descreen-level-3",
    "Descreen-level-4",
};

// The untranslated display text of a device value; nullptr for a value
// without one.
const char* DisplayText(const char* value)
{
    for (const ValueName& entry : kValueNames) {
        if (std::strcmp(entry.value, value) == 0)
            return entry.display;
    }
    return nullptr;
}

// The sharpness items that only these modes can use.
constexpr int kLineartOnlyItem = 1;
const int kShapeItems[] = {0, 2, 3, 4};    // none and the emphasis levels
const int kDescreenItems[] = {5, 6, 7, 8}; // colour modes only

} // namespace

ParentScannerOptions::ParentScannerOptions()
{
    InitNames();
}

ParentScannerOptions::~ParentScannerOptions()
{
    delete m_config;
}

void ParentScannerOptions::InitNames()
{
    for (const ValueName& entry : kValueNames)
        m_valueNames.insert(QString::fromLatin1(entry.value), QObject::tr(entry.display));
}

void ParentScannerOptions::RetranslateValueNames()
{
    m_valueNames.clear();
    InitNames();
    for (const ParamConfig& config : qAsConst(m_paramConfigs)) {
        auto* combo = qobject_cast<QComboBox*>(config.widget);
        if (combo == nullptr)
            continue;
        for (int i = 0; i < combo->count(); ++i) {
            const QString value = combo->itemData(i).toString();
            if (!value.isEmpty())
                combo->setItemText(i, DisplayName(value));
        }
    }
}

QString ParentScannerOptions::DisplayName(const QString& value) const
{
    const QString display = m_valueNames.value(value);
    return display.isEmpty() ? value : display;
}

bool ParentScannerOptions::AddParamConfig(QWidget* widget, const QString& optionName, ParamType type,
                                          const QString& defaultValue)
{
    if (OptionWidget::KindOf(widget) == OptionWidgetKind::Other) {
        Q_ASSERT_X(false, "ParentScannerOptions::AddParamConfig",
                   "an option can only be bound to a combo box, spin box, double spin box or check box");
        qCWarning(lcOptions) << "option" << optionName << "not bound: unsupported widget"
                             << (widget ? widget->metaObject()->className() : "null");
        return false;
    }
    // A bound box's texts change with the device's values and the language:
    // it follows them so that its longest text shows whole (unless the panel
    // chose how it sizes itself).
    auto* combo = qobject_cast<QComboBox*>(widget);
    if (combo != nullptr && combo->sizeAdjustPolicy() == QComboBox::AdjustToContentsOnFirstShow) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    m_paramConfigs.append(ParamConfig{widget, optionName, type, defaultValue});
    return true;
}

void ParentScannerOptions::AddParamConfigs(std::initializer_list<Binding> bindings)
{
    for (const Binding& b : bindings)
        AddParamConfig(b.widget, QLatin1String(b.optionName), b.type, QLatin1String(b.defaultValue));
}

Opt_Result ParentScannerOptions::Option(const QString& name) const
{
    return m_options.value(name);
}

void ParentScannerOptions::SetComboboxValue(QComboBox* combo, const QString& value)
{
    // Keep the caller's blocking: during a panel's start-up the signals must
    // stay blocked after this returns.
    const bool wasBlocked = combo->blockSignals(true);
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemData(i, Qt::UserRole).toString() == value) {
            combo->setCurrentIndex(i);
            break;
        }
    }
    combo->blockSignals(wasBlocked);
}

void ParentScannerOptions::InitCleanupSharpness(QComboBox* combo)
{
    combo->clear();
    for (const char* value : kCleanupSharpness)
        combo->addItem(QObject::tr(DisplayText(value)), QString::fromLatin1(value));
}

void ParentScannerOptions::SetComboItemEnabled(QComboBox* combo, int index, bool enabled)
{
    if (index < 0 || index >= combo->count())
        return;
    combo->setItemData(index, enabled ? kItemEnabledFlags : 0, OptionWidget::kItemFlagsRole);
}

bool ParentScannerOptions::IsColourMode(const QString& mode)
{
    return mode == SaneValue::kColor || mode == SaneValue::kAutoColorDetect ||
           mode == SaneValue::kMultiImageOutput;
}

void ParentScannerOptions::CleanupSharpnessOpt(QComboBox* combo, const QString& mode)
{
    const bool colour = IsColourMode(mode);
    const bool line = mode == SaneValue::kLineart;
    for (int index : kShapeItems)
        SetComboItemEnabled(combo, index, colour || line);
    SetComboItemEnabled(combo, kLineartOnlyItem, line);
    for (int index : kDescreenItems)
        SetComboItemEnabled(combo, index, colour);
}

void ParentScannerOptions::InitComboBox(QComboBox* combo, const QString& name, const QString& defaultValue)
{
    combo->clear();
    const Opt_Result option = Option(name);
    if (option.name.isEmpty()) {
        combo->setEnabled(false);
        return;
    }
    if (option.constraintType == SANE_CONSTRAINT_WORD_LIST) {
        for (double number : option.wordList) {
            const QString text = QString::number(number, 'g', 6);
            combo->addItem(text, text);
        }
    } else if (option.constraintType == SANE_CONSTRAINT_STRING_LIST) {
        for (const QString& value : option.stringList)
            combo->addItem(DisplayName(value), value);
    }
    SetComboboxValue(combo, option.value.isEmpty() ? defaultValue : option.value);
    combo->setEnabled(option.isActive);
}

void ParentScannerOptions::InitSpinBox(QSpinBox* spin, const QString& name, const QString& defaultValue)
{
    spin->clear();
    const Opt_Result option = Option(name);
    if (option.name.isEmpty()) {
        spin->setValue(OptionWidget::TextToInt(defaultValue));
        spin->setEnabled(false);
        return;
    }
    spin->setRange(OptionWidget::TextToInt(option.range.min), OptionWidget::TextToInt(option.range.max));
    spin->setSingleStep(OptionWidget::TextToInt(option.range.quant));
    spin->setValue(OptionWidget::TextToInt(option.value.isEmpty() ? defaultValue : option.value));
    spin->setEnabled(option.isActive);
}

void ParentScannerOptions::InitDoubleSpinBox(QDoubleSpinBox* spin, const QString& name,
                                             const QString& defaultValue)
{
    spin->clear();
    const Opt_Result option = Option(name);
    if (option.name.isEmpty()) {
        spin->setEnabled(false);
        return;
    }
    spin->setRange(OptionWidget::TextToDouble(option.range.min),
                   OptionWidget::TextToDouble(option.range.max));
    spin->setDecimals(2);
    spin->setSingleStep(OptionWidget::TextToDouble(option.range.quant));
    spin->setValue(OptionWidget::TextToDouble(option.value.isEmpty() ? defaultValue : option.value));
    spin->setEnabled(option.isActive);
}

void ParentScannerOptions::InitCheckBox(QCheckBox* box, const QString& name, const QString& defaultValue)
{
    box->setChecked(false);
    const Opt_Result option = m_options.isEmpty() ? Opt_Result() : Option(name);
    if (option.name.isEmpty()) {
        box->setEnabled(false);
        return;
    }
    const QString text = option.value.isEmpty() ? defaultValue : option.value;
    box->setChecked(text == SaneValue::kTrue);
    box->setEnabled(option.isActive);
}

void ParentScannerOptions::InitOptionsByDefault()
{
    ShowStandardTab();
    for (const ParamConfig& config : qAsConst(m_paramConfigs)) {
        // The family's own start-up fills these.
        if (config.paramType == ParamFixed || config.optionName == SaneOption::kMultifeedDetection ||
            config.optionName == SaneOption::kCleanupSharpness ||
            config.optionName == SaneOption::kCustomLongPage)
            continue;
        switch (OptionWidget::KindOf(config.widget)) {
        case OptionWidgetKind::ComboBox:
            InitComboBox(static_cast<QComboBox*>(config.widget), config.optionName, config.defaultValue);
            break;
        case OptionWidgetKind::SpinBox:
            InitSpinBox(static_cast<QSpinBox*>(config.widget), config.optionName, config.defaultValue);
            break;
        case OptionWidgetKind::CheckBox:
            InitCheckBox(static_cast<QCheckBox*>(config.widget), config.optionName, config.defaultValue);
            break;
        case OptionWidgetKind::DoubleSpinBox:
            InitDoubleSpinBox(static_cast<QDoubleSpinBox*>(config.widget), config.optionName,
                              config.defaultValue);
            break;
        case OptionWidgetKind::Other:
            break;
        }
    }
}

void ParentScannerOptions::InitSpecial()
{
    const Opt_Result source = Option(SaneOption::kSource);
    m_flatbedOnly = source.stringList.size() == 1 && source.stringList.first() == SaneValue::kFlatbed;
    m_hasHolePunchMode = m_options.contains(SaneOption::kHolePunchRemovalMode);
    m_hasPageAutoPriority = m_options.contains(SaneOption::kPageAutoPriority);

    m_notInDriver.clear();
    for (const ParamConfig& config : qAsConst(m_paramConfigs)) {
        if (config.optionName == SaneOption::kCustomLongPage)
            continue;
        if (m_flatbedOnly && (config.optionName == SaneOption::kBrX || config.optionName == SaneOption::kBrY))
            continue;
        if (!m_options.contains(config.optionName)) {
            config.widget->setEnabled(false);
            m_notInDriver.append(config.widget);
        }
    }
}

void ParentScannerOptions::DisableWidgetsNotInDirver()
{
    for (QWidget* widget : qAsConst(m_notInDriver))
        widget->setEnabled(false);
}

void ParentScannerOptions::BlockAllWidgetsSignals(bool block)
{
    for (const ParamConfig& config : qAsConst(m_paramConfigs))
        config.widget->blockSignals(block);
}
