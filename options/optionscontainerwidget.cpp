#include "optionscontainerwidget.h"

#include "genericscanneroptionswidget.h"
#include "kxscanneroptionswidget.h"
#include "rv920scanneroptionswidget.h"
#include "saneoptions.h"
#include "sanescan.h"
#include "ui_optionscontainerwidget.h"
#include "wyscanneroptionswidget.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>

OptionsContainerWidget::OptionsContainerWidget(const QString& configPath, QWidget* parent)
    : QWidget(parent), ui(new Ui_OptionsContainerWidget), m_kxPanel(new KxScannerOptionsWidget),
      m_wyPanel(new WyScannerOptionsWidget), m_rv920Panel(new RV920ScannerOptionsWidget),
      m_genericPanel(new GenericScannerOptionsWidget),
      m_noPanelLabel(new QLabel(tr("该扫描仪没有可用的配置界面"))), m_configPath(configPath)
{
    ui->setupUi(this);
    ui->lyOption->addWidget(m_kxPanel);
    ui->lyOption->addWidget(m_wyPanel);
    ui->lyOption->addWidget(m_rv920Panel);
    ui->lyOption->addWidget(m_genericPanel);
    connect(m_genericPanel, &GenericScannerOptionsWidget::sglOptionEdited, this,
            [this](const QString& option) { emit sglPanelOptionEdited(m_currentDevice, option); });
    m_noPanelLabel->setObjectName(QStringLiteral("lblNoPanel"));
    m_noPanelLabel->setAlignment(Qt::AlignCenter);
    ui->lyOption->addWidget(m_noPanelLabel);
    KeepListsWhole({m_kxPanel, m_wyPanel, m_rv920Panel});
    ShowScannerConfigInterface();

    ui->cmScannerList->installEventFilter(this);
    connect(ui->cmScannerList, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &OptionsContainerWidget::OnScannerChanged);
    connect(ui->btnGetDefaultSetting, &QPushButton::clicked, this,
            [this] { emit sglGetDefaultOpts(m_currentDevice); });
}

OptionsContainerWidget::~OptionsContainerWidget()
{
    delete ui;
    delete m_kxPanel;
    delete m_wyPanel;
    delete m_rv920Panel;
    delete m_genericPanel;
}

// A list box of the family panels is never squeezed below the width of its
// longest entry (spin boxes already behave so): where a translation's longer
// labels leave less room, the settings page scrolls instead of cutting the
// entries off.
void OptionsContainerWidget::KeepListsWhole(std::initializer_list<QWidget*> panels)
{
    for (QWidget* panel : panels) {
        for (QComboBox* combo : panel->findChildren<QComboBox*>()) {
            QSizePolicy policy = combo->sizePolicy();
            if (policy.horizontalPolicy() == QSizePolicy::Ignored)
                continue;
            policy.setHorizontalPolicy(
                QSizePolicy::Policy(policy.horizontalPolicy() & ~QSizePolicy::ShrinkFlag));
            combo->setSizePolicy(policy);
            // A minimum width of the form would win over the entries' width.
            combo->setMinimumWidth(0);
        }
    }
}

void OptionsContainerWidget::ShowScannerConfigInterface()
{
    m_currentPanel = nullptr;
    const bool rv = m_currentDevice.startsWith(SaneDevice::kRV920);
    const bool kx = m_currentDevice.startsWith(SaneDevice::kKxBackend);
    const bool wy = m_currentDevice.startsWith(SaneDevice::kWyBackend);
    m_rv920Panel->setVisible(rv);
    m_kxPanel->setVisible(kx);
    m_wyPanel->setVisible(wy);
    const bool generic = m_genericPanels && !m_currentDevice.isEmpty() &&
                         !SaneScan::IsFamilyDeviceName(m_currentDevice.toUtf8().constData());
    m_genericPanel->setVisible(generic);
    if (rv)
        m_currentPanel = m_rv920Panel;
    else if (kx)
        m_currentPanel = m_kxPanel;
    else if (wy)
        m_currentPanel = m_wyPanel;
    else if (generic)
        m_currentPanel = m_genericPanel;
    // A selected device without a panel says so instead of showing an empty page.
    m_noPanelLabel->setVisible(!m_currentPanel && !m_currentDevice.isEmpty());
    if (m_currentPanel)
        m_currentPanel->ShowStandardTab();
}

void OptionsContainerWidget::InitScannerList(const QList<QString>& devices, const QString& selected,
                                             const QHash<QString, QString>& models)
{
    const bool wasBlocked = ui->cmScannerList->blockSignals(true);
    ui->cmScannerList->clear();
    for (const QString& device : devices) {
        ui->cmScannerList->addItem(device);
        const QString model = models.value(device);
        if (!model.isEmpty())
            ui->cmScannerList->setItemData(ui->cmScannerList->count() - 1, model, Qt::ToolTipRole);
    }
    if (!devices.isEmpty()) {
        ui->cmScannerList->setCurrentIndex(qMax(0, devices.indexOf(selected)));
        m_currentDevice = ui->cmScannerList->currentText();
    } else {
        m_currentDevice.clear();
    }
    m_previousDevice = m_currentDevice;
    ui->cmScannerList->blockSignals(wasBlocked);
    ShowScannerConfigInterface();
}

void OptionsContainerWidget::OnScannerChanged()
{
    // The device to go back to should the switch fail. Taken here and not
    // only on a mouse press: the arrow keys change the selector without one.
    m_previousDevice = m_currentDevice;
    emit sglBeforeChangeDevice(m_currentDevice);
    const QString old = m_currentDevice;
    m_currentDevice = ui->cmScannerList->currentText();
    ShowScannerConfigInterface();
    emit sglChangeDevice(old, m_currentDevice);
}

void OptionsContainerWidget::RestoreChangeDevice()
{
    const bool wasBlocked = ui->cmScannerList->blockSignals(true);
    const int index = ui->cmScannerList->findText(m_previousDevice, Qt::MatchExactly);
    if (index >= 0)
        ui->cmScannerList->setCurrentIndex(index);
    m_currentDevice = ui->cmScannerList->currentText();
    m_previousDevice = m_currentDevice;
    ui->cmScannerList->blockSignals(wasBlocked);
}

void OptionsContainerWidget::InitWidgetByOption(const QHash<QString, Opt_Result>& options, bool useDefaults)
{
    if (!m_currentPanel)
        return;
    m_currentPanel->m_configPath = m_configPath;
    m_currentPanel->m_options = options;
    m_currentPanel->InitSpecial();
    m_currentPanel->InitWidgetByOption(m_currentDevice, useDefaults);
}

void OptionsContainerWidget::ReloadPanelOptions(const QHash<QString, Opt_Result>& options, bool reported)
{
    if (m_currentPanel == m_genericPanel && (reported || m_genericPanel->ActivityDiffers(options)))
        m_genericPanel->ReloadOptions(options);
}

bool OptionsContainerWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->cmScannerList && event->type() == QEvent::MouseButtonPress)
        m_previousDevice = ui->cmScannerList->currentText();
    return QWidget::eventFilter(watched, event);
}

void OptionsContainerWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        m_noPanelLabel->setText(tr("该扫描仪没有可用的配置界面"));
    }
    QWidget::changeEvent(event);
}
