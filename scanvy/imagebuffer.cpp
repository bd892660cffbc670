#include "imagebuffer.h"

#include <cstdlib>
#include <cstring>

ImageBuffer::~ImageBuffer()
{
    std::free(m_data);
}

bool ImageBuffer::Allocate(int rowBytes, int rows)
{
    if (rowBytes <= 0 || rows <= 0)
        return false;
    const size_t size = size_t(rowBytes) * size_t(rows);
    uint8_t* p = static_cast<uint8_t*>(std::calloc(size, 1));
    if (p == nullptr)
        return false;
    std::free(m_data);
    m_data = p;
    m_width = rowBytes;
    m_height = rows;
    m_x = m_y = m_rowsDone = 0;
    return true;
}

bool ImageBuffer::Grow()
{
    if (m_height > INT32_MAX - kStripe)
        return false;
    const size_t oldSize = size_t(m_width) * size_t(m_height);
    const size_t newSize = size_t(m_width) * size_t(m_height + kStripe);
    uint8_t* p = static_cast<uint8_t*>(std::realloc(m_data, newSize));
    if (p == nullptr)
        return false;
    std::memset(p + oldSize, 0, newSize - oldSize);
    m_data = p;
    m_height += kStripe;
    return true;
}

bool ImageBuffer::Store(const uint8_t* bytes, size_t len, int frameRowBytes, int stride, int channel)
{
    size_t i = 0;
    while (i < len) {
        if (m_y >= m_height && !Grow())
            return false;
        uint8_t* row = m_data + size_t(m_y) * size_t(m_width);
        if (stride == 1) {
            const size_t n = (len - i < size_t(frameRowBytes - m_x) ? len - i : size_t(frameRowBytes - m_x));
            std::memcpy(row + m_x, bytes + i, n);
            i += n;
            m_x += int(n);
        } else {
            while (i < len && m_x < frameRowBytes) {
                row[size_t(m_x) * size_t(stride) + size_t(channel)] = bytes[i++];
                ++m_x;
            }
        }
        if (m_x >= frameRowBytes) {
            m_x = 0;
            ++m_y;
        }
    }
    return true;
}

void ImageBuffer::Rewind()
{
    if (m_y > m_rowsDone)
        m_rowsDone = m_y;
    m_x = 0;
    m_y = 0;
}
