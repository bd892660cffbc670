#pragma once

#include <cstddef>
#include <cstdint>

// In-memory page for pages that cannot be streamed (unknown line count,
// separate colour frames). Rows are `width` bytes; the buffer grows by
// stripes of 256 zero-filled rows.
class ImageBuffer {
public:
    static constexpr int kStripe = 256;

    ImageBuffer() = default;
    ~ImageBuffer();
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    // Allocates `rows` zero-filled rows of `rowBytes` bytes. False when the
    // memory cannot be had.
    bool Allocate(int rowBytes, int rows);
    // Adds one stripe of rows. False when the memory cannot be had; the
    // buffer is then unchanged.
    bool Grow();

    // Stores `len` bytes of a frame. With `stride` 1 bytes go one after
    // another; with stride 3 every byte goes to a pixel's channel `channel`
    // (separate colour frames), `x` counting the frame's own bytes per row
    // up to `frameRowBytes`. False when the buffer cannot grow.
    bool Store(const uint8_t* bytes, size_t len, int frameRowBytes, int stride, int channel);
    // Restarts at the top of the buffer for the next separate colour frame.
    void Rewind();

    uint8_t* data() { return m_data; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int x() const { return m_x; }
    int y() const { return m_y; }
    // Largest row count reached by any frame.
    int Rows() const { return m_rowsDone > m_y ? m_rowsDone : m_y; }

private:
    uint8_t* m_data = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_x = 0;
    int m_y = 0;
    int m_rowsDone = 0;
};
