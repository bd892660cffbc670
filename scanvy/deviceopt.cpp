#include "deviceopt.h"

#include "execcmd.h"

#include <QFileInfo>

#include <utility>

namespace {

QString PackageQuery(QString const& package)
{
    return QStringLiteral("dpkg -l %1 |grep 'ii' | awk '/%1/ {print $2}{print $3}'").arg(package);
}

QString ConsumablesQuery(QString const& tool)
{
    return tool + QStringLiteral(" -L |grep -v 'List of available devices:'");
}

} // namespace

// One driver family: its package names, its consumables tool and how the
// tool's lines become SANE device names.
struct DeviceOpt::Family {
    const char* uosPackage;
    const char* package;
    const char* tool;
    const char* devicePrefix;
    bool dropHyphens;
    int code;
};

DeviceOpt::DeviceOpt() : DeviceOpt(ExecCmd, GetOSName)
{
}

DeviceOpt::DeviceOpt(ShellRunner runner, OSProbe osProbe)
    : m_run(std::move(runner)), m_osName(std::move(osProbe))
{
}

bool DeviceOpt::HasScanners(bool& isOverhead) const
{
    isOverhead = false;
    const QString out = m_run(QStringLiteral("lsusb | grep -E '0a3d|0b7e'"));
    if (out.isEmpty())
        return false;
    isOverhead = out.toLower().contains(QLatin1String(":2f4c"));
    return true;
}

void DeviceOpt::LoadScanner(QList<ScannerInfo>& scanners) const
{
    static const Family kx{
        "com.quvex.zyl.zylkx", "zylkx", "/opt/zylkx/consumables/zylkxconsumables", "zylkx:", false, 1};
    static const Family wy{
        "com.quvex.zyl.zylwy", "zylwy", "/opt/zylwy/consumables/zylwyconsumables", "zylwy:", true, 2};
    scanners.clear();

    QString kxInfo;
    const bool kxInstalled = QueryDriver(kx, kxInfo);
    QString wyInfo;
    const bool wyInstalled = QueryDriver(wy, wyInfo);

    if (kxInstalled)
        ListFamily(kx, kxInfo, scanners);
    if (wyInstalled)
        ListFamily(wy, wyInfo, scanners);
}

bool DeviceOpt::QueryDriver(Family const& family, QString& driverInfo) const
{
    const QString package = QString::fromLatin1(family.package);
    const QString first = m_osName() == OSUos ? QString::fromLatin1(family.uosPackage) : package;

    auto query = [this](QString const& name) {
        return m_run(PackageQuery(name)).replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
    };
    // The driver text of the entries comes from the first query even when
    // only the fallback query finds the package.
    driverInfo = query(first);
    if (!driverInfo.isEmpty())
        return true;
    return !query(package).isEmpty();
}

void DeviceOpt::ListFamily(Family const& family, QString const& driverInfo,
                           QList<ScannerInfo>& scanners) const
{
    const QString tool = QString::fromLatin1(family.tool);
    const QString out = m_run(ConsumablesQuery(tool));
    // The tool reports its own failures as "<tool name>: <reason>".
    if (out.isEmpty() || out.startsWith(QFileInfo(tool).fileName() + QLatin1Char(':')))
        return;

    const QStringList lines = out.split(QLatin1Char('\n'));
    for (QString const& line : lines) {
        const QString model = line.trimmed();
        if (model.isEmpty())
            continue;
        ScannerInfo info;
        info.model = model;
        QString device = model;
        if (family.dropHyphens)
            device.remove(QLatin1Char('-'));
        info.deviceName = QString::fromLatin1(family.devicePrefix) + device;
        info.driverInfo = driverInfo;
        info.family = family.code;
        scanners.append(info);
    }
}
