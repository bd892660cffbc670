#pragma once

#include <QList>
#include <QString>

// Copies every image directory of the input TIFF files, in order, into one new
// big-endian TIFF file written in strips of 16 rows (tiled inputs keep their
// tiles). `compression` uses the "-c" syntax of libtiff's copy tool: "none",
// "packbits", "lzw[:predictor]", "zip[:predictor][:p<level>]",
// "jpeg[:<quality>][:r]" (quality 75 by default; RGB input is written as
// YCbCr unless ":r" is given). An input that does not exist as written may
// select directories with the tool's selector syntax "path,<dir>[,<dir>...]".
// The output is replaced only when the copy succeeded.
// Returns 0 on success, 1 on failure.
int combine2multiff(const QList<QString>& inputs, const QString& output, const QString& compression);

// combine2multiff of the single file `src` into `dst`.
int compresstiff(const QString& src, const QString& dst, const QString& compression);
