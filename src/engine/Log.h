#pragma once
// The engine layer's logging category, "quillmot.engine".

#include "platform/Log.h"

Q_DECLARE_LOGGING_CATEGORY(lcEngine)
