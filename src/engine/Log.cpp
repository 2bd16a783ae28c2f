#include "engine/Log.h"

Q_LOGGING_CATEGORY(lcEngine, "quillmot.engine", QtWarningMsg)
