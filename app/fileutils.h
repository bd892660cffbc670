#pragma once

#include <QString>

// Deletes every regular file and symbolic link in the tree under path, except
// in its save record folder (see SaveTransaction::RecordFolder); the folders
// themselves stay. An empty path does nothing.
void ClearDirectory(QString const& path);

// Deletes the regular files and symbolic links directly inside dir.
void RemoveFiles(QString const& dir);
