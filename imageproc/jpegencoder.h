#pragma once

#include <QByteArray>

#include <memory>

// Compresses 8-bit grey or RGB rows into a baseline JPEG stream held in
// memory, with Huffman tables optimised for the image. libjpeg's fatal
// errors end the current call with false instead of the process; after a
// failure the encoder accepts no more rows.
class JpegEncoder {
public:
    JpegEncoder();
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    // components: 1 (grey) or 3 (RGB, stored as YCbCr 2x2 like libtiff's codec).
    bool Begin(int width, int height, int components, int quality);
    bool WriteRow(const unsigned char* row);
    // Completes the stream; `out` receives it.
    bool Finish(QByteArray* out);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
