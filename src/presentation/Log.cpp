#include "presentation/Log.h"

Q_LOGGING_CATEGORY(lcPresentation, "quillmot.presentation", QtWarningMsg)
