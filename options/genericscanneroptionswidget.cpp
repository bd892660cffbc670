#include "genericscanneroptionswidget.h"

#include "configsetting.h"
#include "optionwidget.h"
#include "sanecatalog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

#include <sane/sane.h>

namespace {

// The value a widget was last given from the device or the stored settings,
// to tell a committed edit from a mere focus change.
const char kDeviceValue[] = "deviceValue";
// Where a SANE fixed-point number can go (16 bits before the point).
const double kFixedMin = -32768.0;
const double kFixedMax = 32767.9999;
const QLatin1String kPaperCustom("Custom");
const QLatin1String kPaperMax("Max");

QString KindKey(const Opt_Result& option)
{
    return option.name + QLatin1Char('/') + QString::number(option.type) + QLatin1Char('/') +
           QString::number(option.constraintType);
}

bool IsNumber(const Opt_Result& option)
{
    return option.type == SANE_TYPE_INT || option.type == SANE_TYPE_FIXED;
}

bool IsList(const Opt_Result& option)
{
    return (IsNumber(option) && option.constraintType == SANE_CONSTRAINT_WORD_LIST) ||
           (option.type == SANE_TYPE_STRING && option.constraintType == SANE_CONSTRAINT_STRING_LIST);
}

double SpinValue(QWidget* widget)
{
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget))
        return spin->value();
    if (auto* spin = qobject_cast<QSpinBox*>(widget))
        return spin->value();
    return 0.0;
}

double SpinLimit(QWidget* widget, bool maximum)
{
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget))
        return maximum ? spin->maximum() : spin->minimum();
    if (auto* spin = qobject_cast<QSpinBox*>(widget))
        return maximum ? spin->maximum() : spin->minimum();
    return 0.0;
}

void SetSpinValue(QWidget* widget, double value)
{
    const bool wasBlocked = widget->blockSignals(true);
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget))
        spin->setValue(value);
    else if (auto* spin = qobject_cast<QSpinBox*>(widget))
        spin->setValue(qRound(value));
    widget->blockSignals(wasBlocked);
}

} // namespace

GenericScannerOptionsWidget::GenericScannerOptionsWidget(QWidget* parent)
    : QWidget(parent), m_scroll(new QScrollArea(this)), m_stash(new QWidget(this))
{
    setObjectName(QStringLiteral("GenericScannerOptionsWidget"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll->setObjectName(QStringLiteral("scrollOptions"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    // The page gives the panel its height; long option texts do not widen it.
    m_scroll->setMinimumHeight(440);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_scroll);
    m_stash->hide();

    m_paperSize = new QComboBox(m_stash);
    m_paperSize->setObjectName(QStringLiteral("cmPaperSize"));
    GuardWheel(m_paperSize);
    for (const PaperSize& paper : PaperSizes())
        m_paperSize->addItem(QLatin1String(paper.name), QLatin1String(paper.name));
    m_paperSize->addItem(QString(), kPaperMax);
    m_paperSize->addItem(QString(), kPaperCustom);
    RetranslatePaperSizes();
    connect(m_paperSize, QOverload<int>::of(&QComboBox::activated), this,
            &GenericScannerOptionsWidget::OnPaperSizeActivated);
}

const QList<GenericScannerOptionsWidget::PaperSize>& GenericScannerOptionsWidget::PaperSizes()
{
    static const QList<PaperSize> sizes = {
        {"A4", 210.0, 297.0}, {"A5", 148.0, 210.0}, {"B5", 176.0, 250.0}, {"Letter", 215.9, 279.4}};
    return sizes;
}

bool GenericScannerOptionsWidget::IsFeederSource(const QString& source)
{
    static const QRegularExpression feeder(QStringLiteral("adf|feeder|duplex"),
                                           QRegularExpression::CaseInsensitiveOption);
    return feeder.match(source).hasMatch();
}

QList<Opt_Result> GenericScannerOptionsWidget::ShownOptions() const
{
    QList<Opt_Result> shown;
    for (const Opt_Result& option : m_options) {
        // Vectors (gamma tables) have no widget here.
        if (option.name.isEmpty() || option.type == SANE_TYPE_GROUP ||
            (IsNumber(option) && option.valueCount > 1))
            continue;
        shown.append(option);
    }
    std::sort(shown.begin(), shown.end(), [](const Opt_Result& a, const Opt_Result& b) {
        return a.number != b.number ? a.number < b.number : a.name < b.name;
    });
    return shown;
}

void GenericScannerOptionsWidget::InitOptionsByDefault()
{
    Rebuild();
}

void GenericScannerOptionsWidget::Rebuild()
{
    // The widgets outlive the sections they sit in.
    for (QWidget* widget : qAsConst(m_widgets))
        widget->setParent(m_stash);
    m_paperSize->setParent(m_stash);
    m_paramConfigs.clear();

    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("frmGenericOptions"));
    auto* column = new QVBoxLayout(m_content);
    m_advancedToggle = new QToolButton(m_content);
    m_advancedToggle->setObjectName(QStringLiteral("btnAdvanced"));
    m_advancedToggle->setText(tr("高级"));
    m_advancedToggle->setCheckable(true);
    m_advancedToggle->setChecked(m_advancedOpen);
    m_advancedToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_advancedToggle->setArrowType(m_advancedOpen ? Qt::DownArrow : Qt::RightArrow);
    m_advancedBox = new QWidget(m_content);
    m_advancedBox->setObjectName(QStringLiteral("frmAdvanced"));
    m_advancedBox->setVisible(m_advancedOpen);
    auto* advancedForm = new QFormLayout(m_advancedBox);

    QHash<QString, QFormLayout*> sections;
    sections.insert(QStringLiteral("\n"), advancedForm); // no group title has a line feed
    for (const Opt_Result& option : ShownOptions()) {
        QWidget* widget = WidgetFor(option);
        AddRow(SectionFor(option, sections), widget, option);
        FillWidget(widget, option);
        if (option.isSettable && option.type != SANE_TYPE_BUTTON)
            AddParamConfig(widget, option.name, ParamNormal, option.value);
    }
    if (HasScanArea())
        AddPaperSize(SectionFor(m_options.value(SaneOption::kTlX), sections));

    column->addWidget(m_advancedToggle);
    column->addWidget(m_advancedBox);
    m_advancedToggle->setVisible(advancedForm->rowCount() > 0);
    column->addStretch(1);
    connect(m_advancedToggle, &QToolButton::toggled, this, [this](bool open) {
        m_advancedOpen = open;
        m_advancedToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        m_advancedBox->setVisible(open);
    });
    m_scroll->setWidget(m_content); // deletes the previous sections
}

QFormLayout* GenericScannerOptionsWidget::SectionFor(const Opt_Result& option,
                                                     QHash<QString, QFormLayout*>& sections)
{
    const QString key = option.isAdvanced ? QStringLiteral("\n") : option.group;
    if (QFormLayout* form = sections.value(key))
        return form;
    auto* box = new QGroupBox(SaneCatalog::Translate(option.group), m_content);
    box->setObjectName(QStringLiteral("grpOptions%1").arg(sections.size()));
    auto* form = new QFormLayout(box);
    // Sections in the device's order, above the advanced section.
    static_cast<QVBoxLayout*>(m_content->layout())->addWidget(box);
    sections.insert(key, form);
    return form;
}

void GenericScannerOptionsWidget::AddRow(QFormLayout* form, QWidget* widget, const Opt_Result& option)
{
    const QString title = option.title.isEmpty() ? option.name : SaneCatalog::Translate(option.title);
    if (option.type == SANE_TYPE_BUTTON) {
        static_cast<QPushButton*>(widget)->setText(title);
        form->addRow(widget);
    } else {
        form->addRow(new QLabel(title + QLatin1Char(':')), widget);
    }
    widget->show();
}

QWidget* GenericScannerOptionsWidget::WidgetFor(const Opt_Result& option)
{
    const QString key = KindKey(option);
    QWidget* widget = m_widgets.value(key);
    if (!widget) {
        widget = CreateWidget(option);
        widget->setObjectName(option.name);
        m_widgets.insert(key, widget);
    }
    return widget;
}

bool GenericScannerOptionsWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return QWidget::eventFilter(watched, event);
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->hasFocus())
        return false;
    QCoreApplication::sendEvent(m_scroll->viewport(), event);
    return true;
}

void GenericScannerOptionsWidget::GuardWheel(QWidget* widget)
{
    widget->setFocusPolicy(Qt::StrongFocus);
    widget->installEventFilter(this);
}

QWidget* GenericScannerOptionsWidget::CreateWidget(const Opt_Result& option)
{
    const QString name = option.name;
    const auto edited = [this, name] { emit sglOptionEdited(name); };
    if (option.type == SANE_TYPE_BOOL) {
        auto* box = new QCheckBox(m_stash);
        connect(box, &QCheckBox::clicked, this, edited);
        return box;
    }
    if (option.type == SANE_TYPE_BUTTON) {
        auto* button = new QPushButton(m_stash);
        connect(button, &QPushButton::clicked, this, edited);
        return button;
    }
    if (IsList(option) || option.type == SANE_TYPE_STRING) {
        auto* combo = new QComboBox(m_stash);
        GuardWheel(combo);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(16);
        if (IsList(option)) {
            connect(combo, QOverload<int>::of(&QComboBox::activated), this, edited);
            return combo;
        }
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        connect(combo->lineEdit(), &QLineEdit::editingFinished, this, [this, combo, edited] {
            // The typed text becomes the current item's value.
            const QString text = combo->lineEdit()->text();
            if (combo->count() == 0)
                combo->addItem(text, text);
            combo->setItemText(combo->currentIndex(), text);
            combo->setItemData(combo->currentIndex(), text);
            if (text != combo->property(kDeviceValue).toString())
                edited();
        });
        return combo;
    }
    QAbstractSpinBox* spin = option.type == SANE_TYPE_FIXED
                                 ? static_cast<QAbstractSpinBox*>(new QDoubleSpinBox(m_stash))
                                 : new QSpinBox(m_stash);
    spin->setKeyboardTracking(false);
    GuardWheel(spin);
    connect(spin, &QAbstractSpinBox::editingFinished, this, [this, spin, edited] {
        if (OptionWidget::ValueText(spin) == spin->property(kDeviceValue).toString())
            return;
        SyncPaperSize();
        edited();
    });
    return spin;
}

void GenericScannerOptionsWidget::FillWidget(QWidget* widget, const Opt_Result& option)
{
    const bool wasBlocked = widget->blockSignals(true);
    switch (OptionWidget::KindOf(widget)) {
    case OptionWidgetKind::CheckBox:
        static_cast<QCheckBox*>(widget)->setChecked(option.value == SaneValue::kTrue);
        break;
    case OptionWidgetKind::ComboBox:
        if (IsList(option)) {
            auto* combo = static_cast<QComboBox*>(widget);
            InitComboBox(combo, option.name, option.value);
            TranslateBackendValues(combo);
        } else
            FillFreeString(static_cast<QComboBox*>(widget), option);
        break;
    case OptionWidgetKind::SpinBox:
    case OptionWidgetKind::DoubleSpinBox:
        FillSpinBox(widget, option);
        break;
    case OptionWidgetKind::Other:
        break;
    }
    widget->setEnabled(option.isActive);
    // The backend's description in the program's language, and the option's
    // own name for whoever compares with other front ends.
    const QString desc = SaneCatalog::Translate(option.desc);
    widget->setToolTip(desc.isEmpty() ? option.name
                                      : desc + QLatin1String("\n(") + option.name + QLatin1Char(')'));
    if (!option.isSettable)
        MakeReadOnly(widget);
    widget->setProperty(kDeviceValue, OptionWidget::ValueText(widget));
    widget->blockSignals(wasBlocked);
}

namespace {

// Range, step, unit and value of a number option on its spin box; an option
// without a range takes the whole span of the box's type.
template <typename Spin, typename Number>
void SetUpSpin(Spin* spin, const Opt_Result& option, Number (*toNumber)(const QString&), Number lowest,
               Number highest)
{
    const bool ranged = option.constraintType == SANE_CONSTRAINT_RANGE;
    spin->setRange(ranged ? toNumber(option.range.min) : lowest,
                   ranged ? toNumber(option.range.max) : highest);
    const Number step = toNumber(option.range.quant);
    spin->setSingleStep(step > 0 ? step : Number(1));
    spin->setSuffix(option.unit.isEmpty() ? QString() : QLatin1Char(' ') + option.unit);
    spin->setValue(toNumber(option.value));
}

} // namespace

void GenericScannerOptionsWidget::FillSpinBox(QWidget* widget, const Opt_Result& option)
{
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget)) {
        spin->setDecimals(2);
        SetUpSpin(spin, option, &OptionWidget::TextToDouble, kFixedMin, kFixedMax);
        return;
    }
    SetUpSpin(static_cast<QSpinBox*>(widget), option, &OptionWidget::TextToInt, INT_MIN, INT_MAX);
}

void GenericScannerOptionsWidget::FillFreeString(QComboBox* combo, const Opt_Result& option)
{
    combo->clear();
    combo->addItem(option.value, option.value);
    // The saved text must be an item for the saved settings to select it.
    if (option.isSettable && EnsureScanConfigPath(m_scannerName, false) && m_config) {
        QString stored;
        m_config->readInit(QStringLiteral("ScannerOptions"), option.name, stored);
        const QString value = stored.split(QLatin1Char('|')).value(0);
        if (!stored.isEmpty() && value != option.value)
            combo->addItem(value, value);
    }
    combo->setCurrentIndex(0);
}

void GenericScannerOptionsWidget::MakeReadOnly(QWidget* widget)
{
    // Shown, not changed: the device alone sets it.
    widget->setProperty("readOnly", true);
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) {
        spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit())
        combo->lineEdit()->setReadOnly(true);
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    widget->setFocusPolicy(Qt::NoFocus);
}

void GenericScannerOptionsWidget::InitOther()
{
    // The scan area goes to the device as its own options; nothing is
    // derived from it (the families' page-width and page-height pairs).
    m_flatbedSelected = true;
    SyncPaperSize();
    // The stored settings were put in after the device's values: leaving a
    // field that shows one of them is no edit.
    for (const ParamConfig& config : qAsConst(m_paramConfigs))
        config.widget->setProperty(kDeviceValue, OptionWidget::ValueText(config.widget));
}

int GenericScannerOptionsWidget::GetTotalScanCount()
{
    return IsFeederSource(GetSource()) ? 0 : 1;
}

QString GenericScannerOptionsWidget::GetMode()
{
    const auto* combo = qobject_cast<QComboBox*>(BoundWidget(SaneOption::kMode));
    return combo && m_options.contains(SaneOption::kMode) ? OptionWidget::ComboValue(combo)
                                                          : m_options.value(SaneOption::kMode).value;
}

QString GenericScannerOptionsWidget::GetSource()
{
    if (!m_options.contains(SaneOption::kSource))
        return SaneValue::kFlatbed; // no source to choose: one page a job
    const auto* combo = qobject_cast<QComboBox*>(BoundWidget(SaneOption::kSource));
    return combo ? OptionWidget::ComboValue(combo) : m_options.value(SaneOption::kSource).value;
}

QWidget* GenericScannerOptionsWidget::BoundWidget(const QString& name) const
{
    for (const ParamConfig& config : m_paramConfigs) {
        if (config.optionName == name)
            return config.widget;
    }
    return nullptr;
}

void GenericScannerOptionsWidget::ReloadOptions(const QHash<QString, Opt_Result>& options)
{
    QPointer<QWidget> focus = QApplication::focusWidget();
    const int scrolled = m_scroll->verticalScrollBar()->value();
    m_options = options;
    BlockAllWidgetsSignals(true);
    Rebuild();
    InitOther();
    BlockAllWidgetsSignals(false);
    // The new sections get their size at the next layout pass; the place is
    // put back after it.
    m_content->adjustSize();
    m_scroll->verticalScrollBar()->setValue(scrolled);
    if (focus && isAncestorOf(focus) && focus->isVisible())
        focus->setFocus();
}

bool GenericScannerOptionsWidget::ActivityDiffers(const QHash<QString, Opt_Result>& options) const
{
    for (const ParamConfig& config : m_paramConfigs) {
        const auto found = options.constFind(config.optionName);
        if (found != options.constEnd() && found->isActive != config.widget->isEnabled())
            return true;
    }
    return false;
}

bool GenericScannerOptionsWidget::HasScanArea() const
{
    for (QLatin1String name : {SaneOption::kTlX, SaneOption::kTlY, SaneOption::kBrX, SaneOption::kBrY}) {
        const Opt_Result option = m_options.value(name);
        if (option.name.isEmpty() || !option.isSettable || !IsNumber(option) ||
            option.unit != QLatin1String("mm"))
            return false;
    }
    return true;
}

void GenericScannerOptionsWidget::AddPaperSize(QFormLayout* form)
{
    form->insertRow(0, new QLabel(tr("纸张大小:")), m_paperSize);
    m_paperSize->show();
}

void GenericScannerOptionsWidget::SyncPaperSize()
{
    if (!HasScanArea())
        return;
    QWidget* tlx = BoundWidget(SaneOption::kTlX);
    QWidget* tly = BoundWidget(SaneOption::kTlY);
    QWidget* brx = BoundWidget(SaneOption::kBrX);
    QWidget* bry = BoundWidget(SaneOption::kBrY);
    if (!tlx || !tly || !brx || !bry)
        return;
    const double width = SpinValue(brx) - SpinValue(tlx);
    const double height = SpinValue(bry) - SpinValue(tly);
    const auto near = [](double a, double b) { return qAbs(a - b) < 0.5; };
    QString choice = kPaperCustom;
    for (const PaperSize& paper : PaperSizes()) {
        const double w = qMin(paper.width, SpinLimit(brx, true) - SpinValue(tlx));
        const double h = qMin(paper.height, SpinLimit(bry, true) - SpinValue(tly));
        if (near(width, w) && near(height, h)) {
            choice = QLatin1String(paper.name);
            break;
        }
    }
    if (choice == kPaperCustom && near(SpinValue(brx), SpinLimit(brx, true)) &&
        near(SpinValue(bry), SpinLimit(bry, true)))
        choice = kPaperMax;
    SetComboboxValue(m_paperSize, choice);
}

void GenericScannerOptionsWidget::OnPaperSizeActivated(int index)
{
    const QString choice = m_paperSize->itemData(index).toString();
    QWidget* tlx = BoundWidget(SaneOption::kTlX);
    QWidget* tly = BoundWidget(SaneOption::kTlY);
    QWidget* brx = BoundWidget(SaneOption::kBrX);
    QWidget* bry = BoundWidget(SaneOption::kBrY);
    if (choice == kPaperCustom || !tlx || !tly || !brx || !bry)
        return;
    double width = SpinLimit(brx, true);
    double height = SpinLimit(bry, true);
    for (const PaperSize& paper : PaperSizes()) {
        if (choice == QLatin1String(paper.name)) {
            width = paper.width;
            height = paper.height;
        }
    }
    // From the top-left corner of the area, as far as the device reaches.
    SetSpinValue(tlx, SpinLimit(tlx, false));
    SetSpinValue(tly, SpinLimit(tly, false));
    SetSpinValue(brx, qMin(SpinValue(tlx) + width, SpinLimit(brx, true)));
    SetSpinValue(bry, qMin(SpinValue(tly) + height, SpinLimit(bry, true)));
    emit sglOptionEdited(SaneOption::kBrX);
}

void GenericScannerOptionsWidget::TranslateBackendValues(QComboBox* combo)
{
    // Values without a text of the program's own come in the backends' words.
    for (int i = 0; i < combo->count(); ++i) {
        const QString value = combo->itemData(i).toString();
        if (combo->itemText(i) == value)
            combo->setItemText(i, SaneCatalog::Translate(value));
    }
}

void GenericScannerOptionsWidget::RetranslatePaperSizes()
{
    m_paperSize->setItemText(m_paperSize->findData(kPaperMax), tr("最大"));
    m_paperSize->setItemText(m_paperSize->findData(kPaperCustom), tr("自定义"));
}

void GenericScannerOptionsWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        RetranslateValueNames();
        RetranslatePaperSizes();
        // The sections, titles and lists are built anew in the new language.
        if (m_content != nullptr)
            ReloadOptions(m_options);
    }
    QWidget::changeEvent(event);
}
