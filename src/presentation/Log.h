#pragma once
// The presentation layer's logging category, "quillmot.presentation".

#include "platform/Log.h"

Q_DECLARE_LOGGING_CATEGORY(lcPresentation)
