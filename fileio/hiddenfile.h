#pragma once

#include <QString>

// Hidden files beside a user's file, named
// ".<base name>.<kind>-<pid>-<n>.<suffix>" (without ".<suffix>" when the
// file has none): the temporary and kept files of the writers. After a crash
// only those a save recorded are removed (see SaveTransaction::Recover),
// never a file because of its name alone.

// The hidden name of kind `kind` and number `n` beside `target`.
QString HiddenSiblingPath(const QString& target, const char* kind, quint32 n);

// A number for such a name that no other call of the process got.
quint32 NextHiddenNumber();

// Creates a new, empty hidden file of kind `kind` beside `target`
// (exclusively, so never over another file; mode 0666 before the user's
// umask) and returns its path. Empty when none could be made; errno then
// says why (EEXIST when a hundred names in a row were taken).
QString CreateHiddenSibling(const QString& target, const char* kind);
