#include "outputlog.h"

Q_LOGGING_CATEGORY(lcOutput, "scanvy.output", QtWarningMsg)
