#pragma once

#include <tiffio.h>

// The layout of the current directory of a TIFF file as the writers read
// it: libtiff's defaults where the file leaves a field out.
struct TiffLayout {
    uint32_t width = 0;
    uint32_t length = 0;
    uint16_t bitsPerSample = 1;
    uint16_t samplesPerPixel = 1;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t photometric = 0;
    bool hasPhotometric = false; // the file states the photometric interpretation

    // Reads the current directory of `in`. Without a stated photometric
    // interpretation, three or more samples are taken as RGB and fewer as
    // `greyPhotometric`. False when the width or the length is missing.
    bool Read(TIFF* in, uint16_t greyPhotometric);

    // JPEG data in YCbCr is handed out as RGB by the codec from now on, and
    // the layout then says RGB.
    void DecodeAsRgb(TIFF* in);
};
