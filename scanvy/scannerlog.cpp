#include "scannerlog.h"

Q_LOGGING_CATEGORY(lcScanner, "scanvy.scanner", QtWarningMsg)
