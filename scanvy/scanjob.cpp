#include "scanjob.h"

#include <unistd.h>

ScanJob::~ScanJob()
{
    if (folderFd >= 0)
        ::close(folderFd);
}

QString ScanJob::PagePath(int number) const
{
    const QString text = QString::number(number).rightJustified(minDigits, QLatin1Char('0'));
    return QStringLiteral("%1%2.%3").arg(basePath, text, extension);
}

int ScanJob::Result(SANE_Status status) const
{
    if (announced > 0 && (status == SANE_STATUS_GOOD || (status == SANE_STATUS_NO_DOCS && !pageCut)))
        return SANE_STATUS_GOOD;
    return status;
}
