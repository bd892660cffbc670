#pragma once

#include "deviceopt.h"
#include "optresult.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVector>

#include <sane/sane.h>

class SaneScan;

// The scanners the program knows of: discovery at start-up and after a
// hot-plug notice, opening a scanner to read its options (and to probe its
// scan area), and the hot-plug notices parked while something else runs.
// The work functions run on the job thread; the window shows the results.
class DeviceController : public QObject {
    Q_OBJECT
public:
    // How the start-up discovery ended.
    enum class Discovery { Ready, NoScanners, NoDriver, Failed };

    DeviceController(SaneScan* saneScan, QObject* parent = nullptr);

    // Scanner discovery (default: the system's tools).
    void SetDeviceOpt(const DeviceOpt& deviceOpt) { m_deviceOpt = deviceOpt; }

    // "显示所有SANE扫描仪": the device list also holds every other device SANE
    // reports, after the family devices.
    void SetShowAllDevices(bool on) { m_showAll = on; }
    bool ShowAllDevices() const { return m_showAll; }

    // Start-up: are scanners and their drivers there, and which devices
    // does the scanner library list. Ready when one can be opened.
    Discovery Discover();
    // Whether the scanner library lists devices outside the families; the
    // library is stopped again afterwards.
    bool HasOtherDevices();
    // Before a rebuild: no scanner is known to be usable.
    void Forget();
    // After a hot-plug notice: the scanner library starts again and the
    // list is built anew.
    void Rediscover();
    // The scanner library starts again and `device` is opened for options.
    int Reopen(const QString& device);
    // Opens `device`, reads its options (kept as OptionTable) and probes
    // its scan area; the SANE status of the open.
    int OpenForOptions(const QString& device);
    // Opens `device`, sets the (option, value) pairs in order and presses
    // the button option `button` (when not empty), then reads the options
    // again. `info` gets the SANE_INFO_* bits the device reported.
    int ApplyOptions(const QString& device, const QVector<QPair<QString, QString>>& pairs,
                     const QString& button, int& info);
    // The page heights of the feeder per resolution and the flatbed's size
    // of an open Kx or Wy scanner, into the shared scanner data.
    void ProbeScanArea(const QString& device);

    int Status() const { return m_status; }
    void ClearStatus() { m_status = SANE_STATUS_GOOD; }
    bool Ready() const { return m_ready; }
    // A rebuild left a scanner that can be opened.
    bool Connected() const { return m_ready && m_status == SANE_STATUS_GOOD; }
    QList<QString> DeviceList() const { return m_deviceList; }
    // "vendor model" of the listed devices outside the families.
    QHash<QString, QString> DeviceModels() const { return m_deviceModels; }
    QString FirstDevice() const { return m_deviceList.value(0); }
    // `wanted` while the list holds it, else the first device (empty when
    // the list is).
    QString Choose(const QString& wanted) const
    {
        return m_deviceList.contains(wanted) ? wanted : FirstDevice();
    }
    const QHash<QString, Opt_Result>& OptionTable() const { return m_optionTable; }

    // The scanner the window names as connected; empty when none.
    QString ConnectedDevice() const { return m_connectedDevice; }
    void SetConnectedDevice(const QString& device) { m_connectedDevice = device; }
    // The connected scanner went away and another one took its place.
    bool Replaced(const QString& before) const;

    // Hot-plug notices. Busy from the question that precedes a rebuild to
    // its end: further notices of the same change are dropped.
    bool UsbBusy() const { return m_usbBusy; }
    void SetUsbBusy(bool busy) { m_usbBusy = busy; }
    bool UsbPending() const { return m_usbPending; }
    int UsbEvent() const { return m_usbEvent; }
    void NoteUsbEvent(int event) { m_usbEvent = event; }
    // Keeps a notice for later.
    void ParkUsbEvent() { m_usbPending = true; }
    // The parked notice, taken (false when there is none).
    bool TakeParkedUsbEvent();

private:
    void ReadOptionTable(const QString& device);
    // With the setting on: appends the other SANE devices to the list.
    void AppendOtherDevices();
    // Start-up without a usable family scanner: the other devices, if any.
    Discovery DiscoverOthers(Discovery fallback);

    DeviceOpt m_deviceOpt;
    SaneScan* m_saneScan;
    QList<QString> m_deviceList;
    QHash<QString, QString> m_deviceModels;
    QHash<QString, Opt_Result> m_optionTable;
    QString m_connectedDevice;
    int m_status = SANE_STATUS_GOOD;
    bool m_ready = false;
    bool m_showAll = false;
    bool m_hasScanners = false;
    bool m_usbBusy = false;
    bool m_usbPending = false;
    int m_usbEvent = 0;
};
