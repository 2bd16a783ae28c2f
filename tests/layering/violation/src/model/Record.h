#pragma once
// A model header that reaches up into the engine: the layer check must refuse it.
#include "engine/Engine.h"
