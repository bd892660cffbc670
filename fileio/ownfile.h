#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// The files the program reads back from its own folders (the journal, the
// records of saves, recognised texts, page files). Whatever lies there under
// such a name is judged before it is read: it is opened without following a
// link and without waiting (a FIFO put in its place never blocks the reader),
// and taken only when it is a regular file of the current user. A device, a
// FIFO, a folder or a link is refused; nothing is read through a link.
namespace OwnFile {

// A descriptor for reading `path` (the caller closes it), or -1 with errno
// set: ELOOP for a link, EINVAL for anything but a regular file, EPERM for a
// file of another user.
int Open(const QString& path);

// Opens `file` for reading on `path` as Open() judges it; the file keeps the
// name, so that a reader of images can take the format from its extension.
bool OpenFile(const QString& path, QFile* file);

// The whole of the file at `path` when it passes Open() and holds at most
// `maxBytes` (the most the program ever writes there). False, errno set
// (EFBIG for a larger file) and `data` empty, otherwise.
bool Read(const QString& path, qint64 maxBytes, QByteArray* data);

// Flushes the entries of `folder` to disk: 0, or the errno of the step that
// failed. A file system that cannot flush folders (EINVAL, EROFS) has
// nothing to flush: that is success.
int SyncFolder(const QString& folder);

} // namespace OwnFile
