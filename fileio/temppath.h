#pragma once

#include <QString>

// The sub-folder of the work folder that holds the page files.
constexpr char kScanFolderName[] = "scanimages";
// The sub-folder of the work folder that holds the temporary files of
// GetTempFilePath(): never pages, never looked at by recovery, emptied at
// start by the session that holds the folder.
constexpr char kTempFolderName[] = "tmp";

// The program's private work folder: the one this process's session really
// works in (SetTempDir), else the per-user folder chosen by WorkDir::Choose.
// Created when missing.
QString GetTempDir();

// The folder this process's session took (a copy that finds the usual folder
// held by another copy works in a private one of its own). Page files, save
// staging and temporary files then follow it; an empty folder (the session
// has none) makes GetTempFilePath fail rather than write elsewhere.
void SetTempDir(const QString& folder);
// Back to the default folder of WorkDir::Choose.
void ResetTempDir();

// A fresh path "<temp dir>/tmp/yyyyMMddHHmmsszzz.<ext>" for a temporary
// file. Names are distinct for every call of the process, also within one
// millisecond and across threads: a repeated stamp gets a "_<n>" suffix. The
// folder is created, the file is not. Empty when the folder cannot be made.
QString GetTempFilePath(const QString& ext);
