#include "jpegturn.h"

#include "jpeginfo.h"
#include "outputlog.h"
#include "pageturn.h"

#include <turbojpeg.h>

namespace {

// The JFIF segment at the start of a stream: "FF D8 FF E0 <len> JFIF\0
// <version 2> <unit> <X 2> <Y 2> ...". Offset of its X density, or -1.
int JfifDensityOffset(const QByteArray& data)
{
    static const QByteArray kJfif("\xFF\xD8\xFF\xE0", 4);
    if (!data.startsWith(kJfif) || data.size() < 20 || data.mid(6, 5) != QByteArray("JFIF\0", 5))
        return -1;
    return 14;
}

void SwapDensity(QByteArray* data)
{
    const int at = JfifDensityOffset(*data);
    if (at < 0)
        return;
    const QByteArray x = data->mid(at, 2);
    data->replace(at, 2, data->mid(at + 2, 2));
    data->replace(at + 2, 2, x);
}

} // namespace

bool TurnJpegLosslessly(const QByteArray& data, int angle, QByteArray* out)
{
    const int turn = NormalTurn(angle);
    if (turn <= 0 || data.isEmpty())
        return false;
    JpegInfo info;
    if (!info.Parse(data) || !JpegInfo::IsComplete(data))
        return false;
    tjhandle handle = tjInitTransform();
    if (!handle)
        return false;
    tjtransform transform{};
    transform.op = turn == 90 ? TJXOP_ROT90 : turn == 180 ? TJXOP_ROT180 : TJXOP_ROT270;
    transform.options = TJXOPT_PERFECT;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int status = tjTransform(handle, reinterpret_cast<const unsigned char*>(data.constData()),
                                   static_cast<unsigned long>(data.size()), 1, &buffer, &size, &transform, 0);
    bool ok = status == 0 && buffer && size > 0;
    if (!ok)
        qCDebug(lcOutput) << "No lossless turn:" << tjGetErrorStr2(handle);
    QByteArray turned;
    if (ok)
        turned = QByteArray(reinterpret_cast<const char*>(buffer), int(size));
    tjFree(buffer);
    tjDestroy(handle);
    if (!ok)
        return false;
    JpegInfo after;
    if (TurnSwapsSides(turn) && after.Parse(turned) && after.densityX == info.densityX &&
        after.densityY == info.densityY && info.densityX != info.densityY)
        SwapDensity(&turned);
    *out = turned;
    return true;
}
