#include "pagecache.h"

PageCache::PageCache(int maxPages, qint64 maxBytes) : m_maxPages(maxPages), m_maxBytes(maxBytes)
{
}

int PageCache::IndexOf(const PageRequest& request) const
{
    for (int i = 0; i < m_pages.size(); ++i) {
        if (m_pages.at(i).request == request) {
            return i;
        }
    }
    return -1;
}

void PageCache::RemoveAt(int index)
{
    m_bytes -= m_pages.at(index).image.sizeInBytes();
    m_pages.removeAt(index);
}

const DecodedPage* PageCache::Find(const PageRequest& request)
{
    const int index = IndexOf(request);
    if (index < 0) {
        return nullptr;
    }
    if (PageStamp::Of(request.path) != m_pages.at(index).stamp) {
        RemoveAt(index);
        return nullptr;
    }
    m_pages.move(index, 0);
    return &m_pages.first();
}

bool PageCache::Contains(const PageRequest& request) const
{
    return IndexOf(request) >= 0;
}

void PageCache::Insert(DecodedPage page)
{
    if (page.image.isNull() || PageStamp::Of(page.request.path) != page.stamp) {
        return;
    }
    const int index = IndexOf(page.request);
    if (index >= 0) {
        RemoveAt(index);
    }
    m_bytes += page.image.sizeInBytes();
    m_pages.prepend(std::move(page));
    while (m_pages.size() > 1 && (m_pages.size() > m_maxPages || m_bytes > m_maxBytes)) {
        RemoveAt(m_pages.size() - 1);
    }
}

void PageCache::Forget(const QString& path)
{
    for (int i = m_pages.size() - 1; i >= 0; --i) {
        if (m_pages.at(i).request.path == path) {
            RemoveAt(i);
        }
    }
}

void PageCache::Clear()
{
    m_pages.clear();
    m_bytes = 0;
}

QList<QString> PageCache::Paths() const
{
    QList<QString> paths;
    for (const DecodedPage& page : m_pages) {
        if (!paths.contains(page.request.path)) {
            paths << page.request.path;
        }
    }
    return paths;
}
