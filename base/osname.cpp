#include "osname.h"

#include <QProcess>
#include <QString>

namespace {

constexpr int kCommandTimeoutMs = 30000;

} // namespace

int OSCodeFromLsbRelease(QByteArray const& output)
{
    QByteArray text = output;
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    QString name = QString::fromLocal8Bit(text);
    name.remove(QStringLiteral("Distributor ID:\t"));
    name.remove(QLatin1Char('\n'));
    name = name.toLower();
    if (name == QLatin1String("kylin"))
        return OSKylin;
    if (name == QLatin1String("uos"))
        return OSUos;
    if (name == QLatin1String("nfsdesktop"))
        return OSNfsDesktop;
    return OSOther;
}

int GetOSName()
{
    QProcess process;
    process.start(QStringLiteral("lsb_release"), {QStringLiteral("-i")}, QIODevice::ReadOnly);
    process.waitForFinished(kCommandTimeoutMs);
    const QByteArray out = process.readAllStandardOutput();
    process.close();
    return OSCodeFromLsbRelease(out);
}
