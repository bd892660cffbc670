#pragma once

#include <QList>
#include <QString>

// Converts every directory of a TIFF file into one page of a new PDF file:
// the page has the image's size at its resolution (300 dpi when none is
// given), colour and grey images are JPEG-compressed at quality 75 and
// bilevel images CCITT G4-compressed. Messages go to libtiff's error handler
// with the module "tiff2pdf". The target is replaced only on success.
// Returns 0 on success, 1 on failure.
int convert2pdf(const QString& tiffPath, const QString& pdfPath);

// True when `path` is a JPEG file that a PDF page can show unchanged.
bool IsEmbeddableJpeg(const QString& path);
