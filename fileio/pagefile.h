#pragma once

#include <QString>

// A page file announced by the scan loop holds a whole page only when it
// exists under its final name: the loop writes "<name>.part" and renames it
// when the page is complete, so an interrupted page (jam, cancel, unplug,
// full disk) leaves at most the ".part" file behind.
bool IsPageComplete(const QString& path);

// The name the scan loop writes a page under until the page is complete.
QString PartialPagePath(const QString& path);
