#include "optionslog.h"

Q_LOGGING_CATEGORY(lcOptions, "scanvy.options", QtWarningMsg)
