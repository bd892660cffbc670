#pragma once

#include <QString>
#include <QtGlobal>

// The identity of the bytes of a page file: device, inode, size and
// modification time. Every writer of page files replaces them by renaming a
// new file over the old one, which gives the page a new inode, and a write in
// place changes the modification time; so two equal stamps of one path stand
// for the same content. A decoded page remembers the stamp of the file it
// was decoded from and is shown only while the path still has that stamp.
struct PageStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;

    // False for a file that does not exist or cannot be examined.
    bool IsValid() const { return size >= 0; }

    // The stamp of the file at `path` now (invalid when there is none).
    static PageStamp Of(const QString& path);
    // The stamp of an open file.
    static PageStamp OfDescriptor(int fd);

    bool operator==(const PageStamp& other) const
    {
        return device == other.device && inode == other.inode && size == other.size &&
               modifiedNs == other.modifiedNs;
    }
    bool operator!=(const PageStamp& other) const { return !(*this == other); }
};
