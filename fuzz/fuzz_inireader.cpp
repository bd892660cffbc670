// Settings files as found on disk ("SysConfig.ini", per-scanner option
// files): any contents are read, and a value written afterwards reads back
// unchanged from the rewritten file.
#include "options/configsetting.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = QStringLiteral("/tmp/scanvy-fuzz-%1.ini").arg(static_cast<qint64>(getpid()));
    // The last bytes (up to 16) become a value to store; the rest is the file.
    const size_t valueSize = size < 16 ? size / 2 : 16;
    const size_t fileSize = size - valueSize;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        file.write(reinterpret_cast<const char*>(data), qint64(fileSize));
    }
    const QString value = QString::fromUtf8(reinterpret_cast<const char*>(data + fileSize), int(valueSize));
    QString read;
    {
        ConfigSetting settings(path);
        for (const char* group : {"SysConfig", "General", "ScanOptions"}) {
            for (const char* key : {"SavePath", "FileFormat", "resolution", "mode", "Language"})
                settings.readInit(group, key, read);
        }
        settings.writeInit("SysConfig", "SavePath", value);
        if (!settings.Sync())
            abort();
    }
    ConfigSetting again(path);
    if (!again.readInit("SysConfig", "SavePath", read) || read != value)
        abort();
    QFile::remove(path);
    return 0;
}
