#pragma once
// Includes that point down the layers, and one into a folder that is no layer.
#include "model/Record.h"
#include "platform/Paths.h"
#include "tools/Helper.h"

#include <QString>
#include <memory>
