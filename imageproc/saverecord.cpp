#include "saverecord.h"

#include "ownfile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kHeader = "scanvy-save 1\n";

QByteArray Encode(const QString& path)
{
    return path.isEmpty() ? QByteArray("-") : QFile::encodeName(path).toBase64();
}

bool Decode(const QByteArray& field, QString* path)
{
    if (field == "-") {
        path->clear();
        return true;
    }
    const auto decoded = QByteArray::fromBase64Encoding(field, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return false;
    *path = QFile::decodeName(decoded.decoded);
    return true;
}

bool WriteAll(int fd, const QByteArray& data)
{
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool ParseNumber(const QByteArray& field, quint64* value)
{
    bool ok = false;
    *value = field.toULongLong(&ok);
    return ok;
}

bool Append(const QString& path, const SaveRecord::Entry& entry, bool flush)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    struct stat st {};
    QByteArray line;
    if (::fstat(fd, &st) == 0 && st.st_size == 0)
        line = kHeader;
    line += "staged " + QByteArray::number(entry.stagedInode) + " " + Encode(entry.target) + " " +
            Encode(entry.staged) + "\n";
    const bool written = WriteAll(fd, line) && (!flush || ::fsync(fd) == 0);
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (!written)
        errno = error;
    return written && closed;
}

} // namespace

bool SaveRecord::AppendStaged(const QString& path, const Entry& entry)
{
    return Append(path, entry, false);
}

bool SaveRecord::AppendWritten(const QString& path, const Entry& entry)
{
    return Append(path, entry, true);
}

bool SaveRecord::WriteCommit(const QString& path, const QVector<Entry>& entries)
{
    QByteArray text = kHeader + "commit\n";
    for (const Entry& e : entries) {
        text += "entry " + QByteArray::number(e.stagedInode) + " " + QByteArray::number(e.oldInode) + " " +
                Encode(e.target) + " " + Encode(e.staged) + " " + Encode(e.backup) + "\n";
    }
    text += "end\n";
    const QByteArray final = QFile::encodeName(path);
    const QByteArray fresh = final + ".new";
    const int fd = ::open(fresh.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(fresh.constData(), final.constData()) != 0) {
        ::unlink(fresh.constData());
        return false;
    }
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    ok = ::fsync(dir) == 0;
    ::close(dir);
    return ok;
}

bool SaveRecord::Read(const QString& path, SaveRecord* record)
{
    // A record names a few files per page: far less than this.
    QByteArray text;
    if (!OwnFile::Read(path, 64 * 1024 * 1024, &text))
        return false;
    if (!text.startsWith(kHeader))
        return false;
    *record = SaveRecord();
    QList<QByteArray> lines = text.mid(kHeader.size()).split('\n');
    lines.removeLast(); // what follows the last line end: empty, or a line cut short
    bool inCommit = false;
    for (const QByteArray& line : qAsConst(lines)) {
        const QList<QByteArray> f = line.split(' ');
        Entry e;
        if (f.size() == 4 && f[0] == "staged" && !inCommit) {
            if (!ParseNumber(f[1], &e.stagedInode) || !Decode(f[2], &e.target) || !Decode(f[3], &e.staged))
                return false;
            record->entries.append(e);
        } else if (f.size() == 1 && f[0] == "commit" && record->entries.isEmpty() && !inCommit) {
            inCommit = true;
        } else if (f.size() == 6 && f[0] == "entry" && inCommit && !record->committing) {
            if (!ParseNumber(f[1], &e.stagedInode) || !ParseNumber(f[2], &e.oldInode) ||
                !Decode(f[3], &e.target) || !Decode(f[4], &e.staged) || !Decode(f[5], &e.backup))
                return false;
            record->entries.append(e);
        } else if (f.size() == 1 && f[0] == "end" && inCommit && !record->committing) {
            record->committing = true;
        } else {
            return false;
        }
    }
    // A commit record is only written whole; one without its end is no record.
    return inCommit == record->committing;
}
