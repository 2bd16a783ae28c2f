#pragma once
// The windows' logging category, "quillmot.gui", for every folder of the user interface.

#include "platform/Log.h"

Q_DECLARE_LOGGING_CATEGORY(lcGui)
