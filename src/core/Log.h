#pragma once
// The core layer's logging category, "quillmot.core".

#include "platform/Log.h"

Q_DECLARE_LOGGING_CATEGORY(lcCore)
