#include "persistence/Log.h"

Q_LOGGING_CATEGORY(lcPersistence, "quillmot.persistence", QtWarningMsg)
