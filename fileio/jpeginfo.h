#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// What a JPEG file's headers say, read without decoding the image.
struct JpegInfo {
    // The units of a JFIF header's density.
    enum DensityUnit { NoDensityUnit = 0, DotsPerInch = 1, DotsPerCentimetre = 2 };

    int width = 0;
    int height = 0;
    int components = 0;
    int precision = 0;
    bool adobe = false;              // an Adobe APP14 marker (colour transform is then up to it)
    int densityUnit = NoDensityUnit; // a DensityUnit
    int densityX = 0;
    int densityY = 0;
    int frameMarker = 0;     // the SOFn marker byte: 0xC0 baseline, 0xC2 progressive...
    int restartInterval = 0; // of a DRI segment between the frame header and the first scan
    // Per component (up to 4): identifier and sampling factors.
    int componentId[4] = {};
    int hSampling[4] = {};
    int vSampling[4] = {};

    // Reads the headers up to the first scan (or as far as there are whole
    // segments after the frame header); false when the file is not a JPEG or
    // ends before a frame header.
    bool Read(const QString& path);
    // The same for a JPEG file's bytes in memory.
    bool Parse(const QByteArray& data);
    // True for the grey and RGB 8-bit images a PDF can show as they are.
    bool Embeddable() const;
    // True for a sequential Huffman-coded image of 8-bit grey or YCbCr
    // samples (JFIF colour, no Adobe marker, no restart markers, component 0
    // sampled 1, 2 or 4 times horizontally and no more vertically, the
    // others once): what a TIFF reader decodes from a JPEG strip holding the
    // whole file, with the YCbCr subsampling of hSampling[0] x vSampling[0].
    bool TiffStrippable() const;

    // True when `data` is a whole JPEG stream: every segment complete, a
    // frame header before the first scan, and the scans' data up to the end
    // of image marker. Decoders show a cut-off file with a grey rest rather
    // than refusing it, so this is the check for a file taken as it is.
    static bool IsComplete(const QByteArray& data);

private:
    bool ReadFrom(QIODevice* device);
};
