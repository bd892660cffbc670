#pragma once

#include <QImage>

// Generated A4 pages at 300 dpi for the benchmarks, the same for a given
// index in every run.
namespace BenchPages {

// Compresses like a scanned document: paper tone, text-like strokes and a
// shaded picture; 2480 pixels wide and `height` high.
QImage Document(int index, int height = 3508);

// Looks like a scanned letter: paper tone, lines of "text" in varying
// colours, a photo-like block of noise; 2480 x 3508.
QImage Letter(int seed);

} // namespace BenchPages
