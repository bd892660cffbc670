#include "imageviewlog.h"

Q_LOGGING_CATEGORY(lcImageView, "scanvy.imageview", QtWarningMsg)
