#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcScanner)

// The prefix of the scanner layer's messages on standard error.
constexpr char kProgramName[] = "scanvy";
