#pragma once
// A model header that reaches up into the engine.
#include "engine/Engine.h"
