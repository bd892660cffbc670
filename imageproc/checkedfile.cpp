#include "checkedfile.h"

qint64 CheckedFile::writeData(const char* data, qint64 len)
{
    const qint64 written = QFile::writeData(data, len);
    if (written != len) {
        m_failed = true;
        return -1;
    }
    return written;
}
