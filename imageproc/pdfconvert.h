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

// Writes one PDF of all pages of `files`, in order: TIFF files contribute
// all their directories as in convert2pdf; grey and RGB JPEG files become a
// page that shows the file's own JPEG data, sized by its JFIF density.
// Other JPEG files are rejected (convert them to TIFF first).
bool WritePdfPages(const QList<QString>& files, const QString& pdfPath);

// True when `path` is a JPEG file that WritePdfPages can show unchanged.
bool IsEmbeddableJpeg(const QString& path);
