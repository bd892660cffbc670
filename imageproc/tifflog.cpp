#include "tifflog.h"

#include "outputlog.h"
#include "savefailure.h"

#include <QByteArray>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <tiffio.h>

namespace {

QByteArray FormatMessage(const char* module, const char* fmt, va_list ap)
{
    char text[1024];
    std::vsnprintf(text, sizeof text, fmt, ap);
    QByteArray line;
    if (module && *module)
        line = QByteArray(module).append(": ");
    return line.append(text);
}

void OnTiffError(const char* module, const char* fmt, va_list ap)
{
    // A failed write reaches us here with the system's errno still set; other
    // errors may find a stale one, so only a write's typical failures count.
    const int error = errno;
    if (error == ENOSPC || error == EDQUOT || error == EFBIG || error == EIO)
        NoteWriteError(error);
    qCWarning(lcOutput).noquote() << FormatMessage(module, fmt, ap);
}

void OnTiffWarning(const char* module, const char* fmt, va_list ap)
{
    qCInfo(lcOutput).noquote() << FormatMessage(module, fmt, ap);
}

} // namespace

void InstallTiffHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(OnTiffError);
        TIFFSetWarningHandler(OnTiffWarning);
    });
}
