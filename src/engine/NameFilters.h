#pragma once
// The option filters: a file whose name begins with one of the "|"-separated prefixes or ends
// with one of the suffixes is not backed up.

#include "persistence/Options.h"

#include <QString>

// True when `fileName` (the name alone, without its folder) is backed up under `options`.
// Prefixes and suffixes compare ignoring letter case; blank pieces, and pieces longer than the
// name, match nothing.
bool passesFilters(const Options& options, const QString& fileName);
