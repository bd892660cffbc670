#include "devicecontroller.h"
#include "saneoptions.h"

#include "gdata.h"
#include "sanescan.h"
#include "scannerinfo.h"

#include <QStringList>

DeviceController::DeviceController(SaneScan* saneScan, QObject* parent)
    : QObject(parent), m_saneScan(saneScan)
{
}

DeviceController::Discovery DeviceController::Discover()
{
    m_ready = false;
    m_status = 0;
    m_deviceList.clear();
    m_deviceModels.clear();
    bool isOverhead = false;
    m_hasScanners = m_deviceOpt.HasScanners(isOverhead);
    if (!m_hasScanners) {
        return DiscoverOthers(Discovery::NoScanners);
    }
    QList<ScannerInfo> scanners;
    m_deviceOpt.LoadScanner(scanners);
    if (scanners.isEmpty() && !isOverhead) {
        return DiscoverOthers(Discovery::NoDriver);
    }
    m_saneScan->Init();
    if (isOverhead || scanners.isEmpty()) {
        m_status = m_saneScan->GetDeviceList(m_deviceList);
    } else {
        for (const ScannerInfo& info : qAsConst(scanners)) {
            m_deviceList.append(info.deviceName);
        }
    }
    if (m_status == SANE_STATUS_GOOD) {
        AppendOtherDevices();
    }
    // An empty list has no first device to open.
    m_ready = m_status == SANE_STATUS_GOOD && !m_deviceList.isEmpty();
    return m_ready ? Discovery::Ready : Discovery::Failed;
}

bool DeviceController::HasOtherDevices()
{
    m_saneScan->Init();
    QList<QString> others;
    const int status = m_saneScan->GetOtherDeviceList(others);
    m_saneScan->Exit();
    return status == SANE_STATUS_GOOD && !others.isEmpty();
}

void DeviceController::Forget()
{
    m_ready = false;
    m_hasScanners = false;
    m_status = 0;
}

void DeviceController::Rediscover()
{
    m_optionTable.clear();
    m_deviceList.clear();
    m_deviceModels.clear();
    m_saneScan->Exit();
    m_saneScan->Init();
    bool isOverhead = false;
    const bool present = m_deviceOpt.HasScanners(isOverhead);
    m_hasScanners = present;
    if (!present && !isOverhead && !m_showAll) {
        return;
    }
    if (present && !isOverhead) {
        QList<ScannerInfo> scanners;
        m_deviceOpt.LoadScanner(scanners);
        for (const ScannerInfo& info : qAsConst(scanners)) {
            m_deviceList.append(info.deviceName);
        }
    }
    if (m_deviceList.isEmpty() && (present || isOverhead)) {
        m_status = m_saneScan->GetDeviceList(m_deviceList);
    }
    if (m_status == SANE_STATUS_GOOD) {
        AppendOtherDevices();
    }
    if (m_status == SANE_STATUS_GOOD && !m_deviceList.isEmpty()) {
        m_saneScan->ResetScannerList(m_deviceList);
        m_ready = true;
    }
}

void DeviceController::AppendOtherDevices()
{
    if (!m_showAll) {
        return;
    }
    QList<QString> others;
    if (m_saneScan->GetOtherDeviceList(others, &m_deviceModels) != SANE_STATUS_GOOD) {
        return; // the family devices stay usable
    }
    for (const QString& name : qAsConst(others)) {
        if (!m_deviceList.contains(name)) {
            m_deviceList.append(name);
        }
    }
}

DeviceController::Discovery DeviceController::DiscoverOthers(Discovery fallback)
{
    if (!m_showAll) {
        return fallback;
    }
    m_saneScan->Init();
    AppendOtherDevices();
    if (m_deviceList.isEmpty()) {
        // Nothing to open: the library is stopped again, as before the probe.
        m_saneScan->Exit();
        return fallback;
    }
    m_ready = true;
    return Discovery::Ready;
}

int DeviceController::Reopen(const QString& device)
{
    m_saneScan->Exit();
    m_saneScan->Init();
    return OpenForOptions(device);
}

int DeviceController::OpenForOptions(const QString& device)
{
    m_status = m_saneScan->OpenDevice(device);
    if (m_status == SANE_STATUS_GOOD) {
        ReadOptionTable(device);
        ProbeScanArea(device);
        m_saneScan->CloseDevice();
    }
    return m_status;
}

int DeviceController::ApplyOptions(const QString& device, const QVector<QPair<QString, QString>>& pairs,
                                   const QString& button, int& info)
{
    info = 0;
    m_status = m_saneScan->OpenDevice(device);
    if (m_status != SANE_STATUS_GOOD) {
        return m_status;
    }
    m_saneScan->GetAllOptions(); // the option numbers of this device
    m_saneScan->TakeSetInfo();
    for (const auto& pair : pairs) {
        m_saneScan->SetOption(pair.first, pair.second);
    }
    if (!button.isEmpty()) {
        m_saneScan->SetOption(button, QString());
    }
    info = m_saneScan->TakeSetInfo();
    ReadOptionTable(device);
    m_saneScan->CloseDevice();
    return m_status;
}

void DeviceController::ReadOptionTable(const QString& device)
{
    m_optionTable = m_saneScan->GetAllOptions();
    if (SaneScan::IsFamilyDeviceName(device.toUtf8().constData())) {
        return;
    }
    // A panel built from the descriptors wants their layout and the
    // read-only options as well.
    const QList<Opt_Result> described = m_saneScan->DescribeAllOptions();
    for (const Opt_Result& option : described) {
        m_optionTable.insert(option.name, option);
    }
}

void DeviceController::ProbeScanArea(const QString& device)
{
    const bool kx = device.startsWith(QLatin1String("zylkx"));
    if (!kx && !device.startsWith(QLatin1String("zylwy"))) {
        return;
    }
    GData& g = GData::ctx();
    g.m_resMaxHeight.clear();
    g.m_flatbedMaxY.clear();
    const QList<QString> sources = m_optionTable.value(QString(SaneOption::kSource)).stringList;
    if (sources.contains(SaneValue::kFlatbed)) {
        m_saneScan->SetOption(QString(SaneOption::kSource), QString(SaneValue::kFlatbed));
        Opt_Result bry;
        Opt_Result brx;
        m_saneScan->GetOption(QString(SaneOption::kBrY), bry);
        m_saneScan->GetOption(QString(SaneOption::kBrX), brx);
        g.m_flatbedMaxY = bry.range.max;
        g.m_flatbedMaxX = brx.range.max;
    }
    if (!sources.contains(SaneValue::kAdfFront)) {
        return;
    }
    const QString maxHeight = m_optionTable.value(QString(SaneOption::kPageHeight)).range.max;
    g.m_pageWidthMax = m_optionTable.value(QString(SaneOption::kPageWidth)).range.max;
    m_saneScan->SetOption(QString(SaneOption::kSource), QString(SaneValue::kAdfFront));
    QStringList resolutions = {QStringLiteral("600"), QStringLiteral("300"), QStringLiteral("200")};
    if (kx) {
        resolutions.insert(1, QStringLiteral("400"));
    }
    for (const QString& res : qAsConst(resolutions)) {
        m_saneScan->SetOption(QString(SaneOption::kResolution), res);
        m_saneScan->SetOption(QString(SaneOption::kPaperSize), QString(SaneValue::kCustom));
        m_saneScan->SetOption(QString(SaneOption::kPageHeight), maxHeight);
        Opt_Result height;
        m_saneScan->GetOption(QString(SaneOption::kPageHeight), height);
        g.m_resMaxHeight.insert(res, height.value);
    }
    for (const QLatin1String name : {SaneOption::kSource, SaneOption::kPageHeight, SaneOption::kPaperSize}) {
        const QString option = name;
        const QString value = m_optionTable.value(option).value;
        if (!value.isEmpty()) { // an inactive option has no value to go back to
            m_saneScan->SetOption(option, value);
        }
    }
}

bool DeviceController::Replaced(const QString& before) const
{
    const QString now = m_connectedDevice;
    return !before.isEmpty() && !now.isEmpty() && now != before && !m_deviceList.contains(before);
}

bool DeviceController::TakeParkedUsbEvent()
{
    if (!m_usbPending) {
        return false;
    }
    m_usbPending = false;
    return true;
}
