#include "sanescan.h"

#include "saneoptions.h"

#include <QMutexLocker>

#include <csignal>

bool SaneScan::IsFamilyDeviceName(const char* name)
{
    const QByteArray n(name);
    for (QLatin1String prefix : {SaneDevice::kKxBackend, SaneDevice::kJnBackend, SaneDevice::kWyBackend}) {
        if (n.startsWith(prefix.latin1()))
            return true;
    }
    return false;
}

SaneScan::SaneScan(QObject* parent) : QObject(parent)
{
}

SaneScan::~SaneScan() = default;

void SaneScan::Init()
{
    // Backends that hand the image over through a pipe from a reader thread
    // may write into the closed pipe after a cancel; the default action of
    // SIGPIPE would end the whole program with its unsaved pages. Write
    // errors are reported by the calls themselves (EPIPE) instead.
    std::signal(SIGPIPE, SIG_IGN);
    SANE_Int version = 0;
    sane_init(&version, nullptr);
}

void SaneScan::Exit()
{
    // Not while the scan loop is inside a SANE call (a scan cancelled from
    // another thread returns from it soon).
    QMutexLocker calls(&callLock);
    sane_exit();
}

int SaneScan::GetDeviceList(QList<QString>& names)
{
    deviceNames.clear();
    names.clear();
    const SANE_Device** list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_TRUE);
    if (status != SANE_STATUS_GOOD)
        return status;
    devices = list;
    for (int i = 0; list != nullptr && list[i] != nullptr; ++i) {
        if (list[i]->name != nullptr && IsFamilyDeviceName(list[i]->name))
            names.append(QString::fromUtf8(list[i]->name));
    }
    deviceNames = names;
    return SANE_STATUS_GOOD;
}

int SaneScan::GetOtherDeviceList(QList<QString>& names, QHash<QString, QString>* models)
{
    names.clear();
    if (models != nullptr)
        models->clear();
    const SANE_Device** list = nullptr;
    // Not local only: driverless network scanners are listed as well.
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD)
        return status;
    devices = list;
    for (int i = 0; list != nullptr && list[i] != nullptr; ++i) {
        if (list[i]->name == nullptr || list[i]->name[0] == '\0' || IsFamilyDeviceName(list[i]->name))
            continue;
        const QString name = QString::fromUtf8(list[i]->name);
        names.append(name);
        if (models != nullptr) {
            const QString vendor = QString::fromUtf8(list[i]->vendor != nullptr ? list[i]->vendor : "");
            const QString model = QString::fromUtf8(list[i]->model != nullptr ? list[i]->model : "");
            models->insert(name, QStringList{vendor, model}.join(QLatin1Char(' ')).trimmed());
        }
    }
    return SANE_STATUS_GOOD;
}

void SaneScan::ResetScannerList(QList<QString> names)
{
    deviceNames = names;
}

int SaneScan::OpenDevice(QString name)
{
    if (!deviceNames.contains(name))
        return SANE_STATUS_UNSUPPORTED;
    SANE_Handle opened = nullptr;
    const SANE_Status status = sane_open(name.toUtf8().constData(), &opened);
    if (status != SANE_STATUS_GOOD || opened == nullptr)
        return status;

    QMutexLocker locker(&deviceLock);
    if (deviceOpen) {
        // A device is still open and stays in use; the new handle is not
        // needed.
        locker.unlock();
        sane_close(opened);
        return SANE_STATUS_GOOD;
    }
    deviceOpen = true;
    stopAsked = false;
    handle = opened;
    return SANE_STATUS_GOOD;
}

void SaneScan::CloseDevice()
{
    QMutexLocker locker(&deviceLock);
    if (!deviceOpen)
        return;
    SANE_Handle h = handle.exchange(nullptr);
    deviceOpen = false;
    locker.unlock();
    if (h == nullptr)
        return;
    // A scan running on another thread sees the device gone at its next
    // call; a call it is making now still uses the handle, so wait for that
    // call to return (CancelScan first makes a running read return soon).
    QMutexLocker calls(&callLock);
    sane_close(h);
}

void SaneScan::CancelScan()
{
    // Under the device lock, so that a close on another thread cannot
    // release the handle in between.
    QMutexLocker locker(&deviceLock);
    SANE_Handle h = handle.load();
    if (h == nullptr)
        return;
    stopAsked = true;
    sane_cancel(h);
}
