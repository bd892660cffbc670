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

bool AppendLine(const QString& path, const QByteArray& text, bool flush)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    struct stat st {};
    QByteArray line;
    if (::fstat(fd, &st) == 0 && st.st_size == 0)
        line = kHeader;
    line += text;
    const bool written = WriteAll(fd, line) && (!flush || ::fsync(fd) == 0);
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (!written)
        errno = error;
    return written && closed;
}

bool Append(const QString& path, const SaveRecord::Entry& entry, bool flush)
{
    return AppendLine(path,
                      "staged " + QByteArray::number(entry.stagedInode) + " " + Encode(entry.target) + " " +
                          Encode(entry.staged) + "\n",
                      flush);
}

// Where a reader is in the record.
enum class Section { Staged, Commit, End, Done };

// Reads one line of a record into `record`; false when it does not belong
// there.
bool ReadLine(const QList<QByteArray>& f, Section* section, SaveRecord* record)
{
    SaveRecord::Entry e;
    const QByteArray& kind = f[0];
    if (*section == Section::Staged && kind == "staged" && f.size() == 4) {
        record->entries.append(e);
        return ParseNumber(f[1], &record->entries.last().stagedInode) &&
               Decode(f[2], &record->entries.last().target) && Decode(f[3], &record->entries.last().staged);
    }
    if (*section == Section::Staged && kind == "part" && f.size() == 4) {
        record->parts.append(SaveRecord::Part());
        SaveRecord::Part& p = record->parts.last();
        return ParseNumber(f[1], &p.inode) && Decode(f[2], &p.staged) && Decode(f[3], &p.path);
    }
    if (*section == Section::Staged && kind == "commit" && f.size() == 1 && record->entries.isEmpty() &&
        record->parts.isEmpty()) {
        *section = Section::Commit;
        return true;
    }
    if (*section == Section::Commit && kind == "note" && f.size() == 2 && record->entries.isEmpty() &&
        record->note.isEmpty()) {
        const auto decoded = QByteArray::fromBase64Encoding(f[1], QByteArray::AbortOnBase64DecodingErrors);
        record->note = decoded.decoded;
        return decoded && !record->note.isEmpty();
    }
    // An entry without the old file's time is of an earlier version.
    if (*section == Section::Commit && kind == "entry" && (f.size() == 6 || f.size() == 7)) {
        const int at = f.size() - 6;
        quint64 time = 0;
        const bool ok = ParseNumber(f[1], &e.stagedInode) && ParseNumber(f[2], &e.oldInode) &&
                        (at == 0 || ParseNumber(f[3], &time)) && Decode(f[3 + at], &e.target) &&
                        Decode(f[4 + at], &e.staged) && Decode(f[5 + at], &e.backup);
        e.oldTime = qint64(time);
        record->entries.append(e);
        return ok;
    }
    if (*section == Section::Commit && kind == "end" && f.size() == 1) {
        *section = Section::End;
        record->committing = true;
        return true;
    }
    if (*section == Section::End && kind == "done" && f.size() == 1) {
        *section = Section::Done;
        record->done = true;
        return true;
    }
    return false;
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

bool SaveRecord::AppendPart(const QString& path, const Part& part)
{
    return AppendLine(path,
                      "part " + QByteArray::number(part.inode) + " " + Encode(part.staged) + " " +
                          Encode(part.path) + "\n",
                      false);
}

bool SaveRecord::WriteCommit(const QString& path, const QVector<Entry>& entries, const QByteArray& note)
{
    QByteArray text = kHeader + "commit\n";
    if (!note.isEmpty())
        text += "note " + note.toBase64() + "\n";
    for (const Entry& e : entries) {
        text += "entry " + QByteArray::number(e.stagedInode) + " " + QByteArray::number(e.oldInode) + " " +
                QByteArray::number(e.oldTime) + " " + Encode(e.target) + " " + Encode(e.staged) + " " +
                Encode(e.backup) + "\n";
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

bool SaveRecord::MarkDone(const QString& path)
{
    // Only a whole commit record is marked.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, "done\n") && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
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
    Section section = Section::Staged;
    for (const QByteArray& line : qAsConst(lines)) {
        if (!ReadLine(line.split(' '), &section, record))
            return false;
    }
    // A commit record is only written whole; one without its end is no record.
    return section != Section::Commit;
}
