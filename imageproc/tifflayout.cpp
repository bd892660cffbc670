#include "tifflayout.h"

bool TiffLayout::Read(TIFF* in, uint16_t greyPhotometric)
{
    const bool sized =
        TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width) && TIFFGetField(in, TIFFTAG_IMAGELENGTH, &length);
    TIFFGetFieldDefaulted(in, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(in, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(in, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(in, TIFFTAG_COMPRESSION, &compression);
    hasPhotometric = TIFFGetField(in, TIFFTAG_PHOTOMETRIC, &photometric);
    if (!hasPhotometric)
        photometric = samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : greyPhotometric;
    return sized;
}

void TiffLayout::DecodeAsRgb(TIFF* in)
{
    if (compression != COMPRESSION_JPEG || photometric != PHOTOMETRIC_YCBCR)
        return;
    TIFFSetField(in, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    photometric = PHOTOMETRIC_RGB;
}
