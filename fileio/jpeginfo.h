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
    bool adobe = false;  // an Adobe APP14 marker (colour transform is then up to it)
    int densityUnit = NoDensityUnit; // a DensityUnit
    int densityX = 0;
    int densityY = 0;

    // Reads the headers up to the first frame header; false when the file is
    // not a JPEG or ends before one.
    bool Read(const QString& path);
    // The same for a JPEG file's bytes in memory.
    bool Parse(const QByteArray& data);
    // True for the grey and RGB 8-bit images a PDF can show as they are.
    bool Embeddable() const;

    // True when `data` is a whole JPEG stream: every segment complete, a
    // frame header before the first scan, and the scans' data up to the end
    // of image marker. Decoders show a cut-off file with a grey rest rather
    // than refusing it, so this is the check for a file taken as it is.
    static bool IsComplete(const QByteArray& data);

private:
    bool ReadFrom(QIODevice* device);
};
