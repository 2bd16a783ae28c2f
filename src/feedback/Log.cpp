#include "feedback/Log.h"

Q_LOGGING_CATEGORY(lcGui, "quillmot.gui", QtWarningMsg)
