#include "core/Log.h"

Q_LOGGING_CATEGORY(lcCore, "quillmot.core", QtWarningMsg)
