#pragma once

#include "pagedecoder.h"

#include <QList>
#include <QString>

// The large view's decoded pages (one per path, fit and angle), least
// recently used dropped first once more than `maxPages` pages or `maxBytes`
// bytes of pixels are held (the newest page stays even when it alone is
// larger). A page is handed out only while its file still has the stamp it
// was decoded from, so a page file that was rotated, replaced or rewritten
// is never shown from the cache.
// Interface thread only.
class PageCache {
public:
    PageCache(int maxPages, qint64 maxBytes);

    // The cached decode of `request`, or nullptr. A decode whose file has
    // changed since is dropped. The pointer is valid until the next change.
    const DecodedPage* Find(const PageRequest& request);
    // True when the cache holds a decode of `request` (without looking at
    // the file).
    bool Contains(const PageRequest& request) const;
    // Adds a decode as the most recently used one, unless its file has
    // changed since or it holds no image.
    void Insert(DecodedPage page);
    void Forget(const QString& path);
    void Clear();
    // The paths of the pages held (each once).
    QList<QString> Paths() const;

    int Count() const { return m_pages.size(); }
    qint64 Bytes() const { return m_bytes; }

private:
    int IndexOf(const PageRequest& request) const;
    void RemoveAt(int index);

    const int m_maxPages;
    const qint64 m_maxBytes;
    QList<DecodedPage> m_pages; // most recently used first
    qint64 m_bytes = 0;
};
