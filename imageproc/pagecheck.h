#pragma once

#include "savefailure.h"

#include <QString>

// Whether a page file can be saved: it exists as a regular file and holds an
// image that decodes. Every saver checks its pages with Quick() before it
// writes anything, and asks Full() which page was at fault when a write
// failed.
namespace PageCheck {

// Cheap: the file is there and not empty, a JPEG file is complete (see
// JpegInfo::IsComplete), any other file starts like an image Qt can read.
// Returns None, PageMissing or PageDamaged.
SaveFailure::Reason Quick(const QString& path);

// Quick() and then a full decode.
SaveFailure::Reason Full(const QString& path);

// What taking the file as it is (a byte copy) needs: Quick() for a JPEG
// file, Full() for any other.
SaveFailure::Reason AsIs(const QString& path);

} // namespace PageCheck
