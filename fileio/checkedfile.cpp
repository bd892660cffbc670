#include "checkedfile.h"

#include "savefailure.h"

#include <cerrno>

qint64 CheckedFile::writeData(const char* data, qint64 len)
{
    errno = 0;
    const qint64 written = QFile::writeData(data, len);
    if (written != len) {
        NoteWriteError(errno);
        m_failed = true;
        return -1;
    }
    return written;
}
