#pragma once

#include <QString>

// A page file announced by the scan loop holds a whole page only when it
// exists under its final name: the loop writes "<name>.part" and renames it
// when the page is complete, so an interrupted page (jam, cancel, unplug,
// full disk) leaves at most the ".part" file behind.
bool IsPageComplete(const QString& path);

// The name the scan loop writes a page under until the page is complete.
QString PartialPagePath(const QString& path);

// True when the file at path holds a whole page of its kind, judged by its
// structure without decoding the picture: a JPEG stream up to its end marker,
// a PNG up to its end chunk, a binary PNM with all the rows its header
// announces, a TIFF whose strips all lie inside the file. Empty, cut-off and
// foreign files are not whole. A power cut can leave a page under its final
// name with nothing or only part of its data; this tells such a page apart.
bool IsPageWhole(const QString& path);
