#pragma once

#include <QString>

// Runs `command` through "sh -c" (at most 30 s) and returns its standard
// output, decoded as UTF-8 up to the first NUL byte and trimmed. Standard
// error is not read and the exit code is not looked at; a command that cannot
// start yields an empty string. Safe to call from any thread.
QString ExecCmd(QString const& command);

// The user's home folder without a trailing slash: "/home/" + login name when
// the process has a login name, otherwise the platform's home path.
QString GetHomePath();
