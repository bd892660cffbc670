#pragma once

#include <QByteArray>

// Turns a JPEG stream clockwise by 90, 180 or 270 degrees without decoding
// it: the compressed blocks are moved and transposed, so the turned image
// shows exactly the samples of the original, and turning it back gives the
// same image again. Only a whole turn is made: an image whose edge blocks
// would have to be dropped or left at the wrong side (a height that is no
// multiple of the block rows for 90, a width for 270, either for 180) is
// refused, and the caller decodes and encodes once instead. Markers are
// kept; a JFIF density's two directions trade places with the sides.
// False (and `out` untouched) when the stream cannot be turned so.
bool TurnJpegLosslessly(const QByteArray& data, int angle, QByteArray* out);
