#include "devicecontroller.h"

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
    bool isOverhead = false;
    m_hasScanners = m_deviceOpt.HasScanners(isOverhead);
    if (!m_hasScanners) {
        return discoverOthers(Discovery::NoScanners);
    }
    QList<ScannerInfo> scanners;
    m_deviceOpt.LoadScanner(scanners);
    if (scanners.isEmpty() && !isOverhead) {
        return discoverOthers(Discovery::NoDriver);
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
        appendOtherDevices();
    }
    // An empty list has no first device to open.
    m_ready = m_status == SANE_STATUS_GOOD && !m_deviceList.isEmpty();
    return m_ready ? Discovery::Ready : Discovery::Failed;
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
        appendOtherDevices();
    }
    if (m_status == SANE_STATUS_GOOD && !m_deviceList.isEmpty()) {
        m_saneScan->ResetScannerList(m_deviceList);
        m_ready = true;
    }
}

void DeviceController::appendOtherDevices()
{
    if (!m_showAll) {
        return;
    }
    QList<QString> others;
    if (m_saneScan->GetOtherDeviceList(others) != SANE_STATUS_GOOD) {
        return; // the family devices stay usable
    }
    for (const QString& name : qAsConst(others)) {
        if (!m_deviceList.contains(name)) {
            m_deviceList.append(name);
        }
    }
}

DeviceController::Discovery DeviceController::discoverOthers(Discovery fallback)
{
    if (!m_showAll) {
        return fallback;
    }
    m_saneScan->Init();
    appendOtherDevices();
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
        readOptionTable(device);
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
    readOptionTable(device);
    m_saneScan->CloseDevice();
    return m_status;
}

void DeviceController::readOptionTable(const QString& device)
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
    const QList<QString> sources = m_optionTable.value(QStringLiteral("source")).stringList;
    if (sources.contains(QLatin1String("Flatbed"))) {
        m_saneScan->SetOption(QStringLiteral("source"), QStringLiteral("Flatbed"));
        Opt_Result bry;
        Opt_Result brx;
        m_saneScan->GetOption(QStringLiteral("br-y"), bry);
        m_saneScan->GetOption(QStringLiteral("br-x"), brx);
        g.m_flatbedMaxY = bry.range.max;
        g.m_flatbedMaxX = brx.range.max;
    }
    if (!sources.contains(QLatin1String("Adf-front"))) {
        return;
    }
    const QString maxHeight = m_optionTable.value(QStringLiteral("page-height")).range.max;
    g.m_pageWidthMax = m_optionTable.value(QStringLiteral("page-width")).range.max;
    m_saneScan->SetOption(QStringLiteral("source"), QStringLiteral("Adf-front"));
    QStringList resolutions = {QStringLiteral("600"), QStringLiteral("300"), QStringLiteral("200")};
    if (kx) {
        resolutions.insert(1, QStringLiteral("400"));
    }
    for (const QString& res : qAsConst(resolutions)) {
        m_saneScan->SetOption(QStringLiteral("resolution"), res);
        m_saneScan->SetOption(QStringLiteral("paper-size"), QStringLiteral("Custom"));
        m_saneScan->SetOption(QStringLiteral("page-height"), maxHeight);
        Opt_Result height;
        m_saneScan->GetOption(QStringLiteral("page-height"), height);
        g.m_resMaxHeight.insert(res, height.value);
    }
    for (const char* name : {"source", "page-height", "paper-size"}) {
        const QString option = QLatin1String(name);
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
