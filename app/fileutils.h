#pragma once

#include <QString>

// Deletes every file in the tree under path (regular files, links, and
// anything else that is no folder), except in its save record folder (see
// SaveTransaction::RecordFolder); the folders themselves stay. Nothing is
// reached through a link: a path that is a link, and links below it, are
// never followed (a link inside is removed itself). An empty path does
// nothing.
void ClearDirectory(QString const& path);

// Deletes the files directly inside dir, as ClearDirectory does.
void RemoveFiles(QString const& dir);
