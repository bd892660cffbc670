#pragma once

#include <QImage>

// Pictures compared pixel by pixel, and pages turned by hand to compare
// against.
namespace PixelCheck {

// `image` (as 32-bit RGB, or Format_RGBA64 for 16 bits a sample) turned
// clockwise by `angle` (any multiple of 90), built by asking for every
// pixel of the result where it comes from.
QImage TurnedByHand(const QImage& image, int angle, QImage::Format format = QImage::Format_RGB32);

// Mean difference per channel over all pixels, or with `frameOnly` over
// the outermost row and column on each side; 1e9 when the sizes differ.
double MeanDifference(const QImage& a, const QImage& b, bool frameOnly = false);

} // namespace PixelCheck
