#pragma once

#include <QString>

// The sub-folder of the temporary folder that holds the page files and the
// temporary files of GetTempFilePath().
constexpr char kScanFolderName[] = "scanimages";

// The application's temporary folder: system temporary folder + "/zir/scanvy"
// when that is a private folder of the current user, otherwise the per-user
// fallback chosen by WorkDir::Choose. Created when missing.
QString GetTempDir();

// A fresh path "<temp dir>/scanimages/yyyyMMddHHmmsszzz.<ext>" for a temporary
// file. Names are distinct for every call of the process, also within one
// millisecond and across threads: a repeated stamp gets a "_<n>" suffix. The
// folder is created, the file is not. Empty when the folder cannot be made.
QString GetTempFilePath(const QString& ext);
