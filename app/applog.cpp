#include "applog.h"

Q_LOGGING_CATEGORY(lcApp, "scanvy.app", QtWarningMsg)
