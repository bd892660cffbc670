#include "scanjob.h"

QString ScanJob::PagePath() const
{
    const QString number = QString::number(fileCounter).rightJustified(minDigits, QLatin1Char('0'));
    return QStringLiteral("%1%2.%3").arg(basePath, number, extension);
}

int ScanJob::Result(SANE_Status status) const
{
    const bool announced = fileCounter > firstNumber;
    if (announced && (status == SANE_STATUS_GOOD || (status == SANE_STATUS_NO_DOCS && !pageCut)))
        return SANE_STATUS_GOOD;
    return status;
}
