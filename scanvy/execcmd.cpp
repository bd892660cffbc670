#include "execcmd.h"

#include <QByteArray>
#include <QDir>
#include <QProcess>

#include <unistd.h>

QString ExecCmd(QString const& command)
{
    QProcess process;
    process.start(QStringLiteral("sh"), {QStringLiteral("-c"), command}, QIODevice::ReadWrite);
    process.waitForFinished(30000);
    QByteArray out = process.readAllStandardOutput();
    process.close();

    const int nul = out.indexOf('\0');
    if (nul >= 0)
        out.truncate(nul);
    return QString::fromUtf8(out).trimmed();
}

QString GetHomePath()
{
    const char* login = getlogin();
    if (login != nullptr && login[0] != '\0')
        return QStringLiteral("/home/") + QString::fromLocal8Bit(login);
    return QDir::homePath();
}
