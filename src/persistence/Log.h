#pragma once
// The persistence layer's logging category, "quillmot.persistence".

#include "platform/Log.h"

Q_DECLARE_LOGGING_CATEGORY(lcPersistence)
