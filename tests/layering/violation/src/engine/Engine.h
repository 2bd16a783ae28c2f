#pragma once
#include "model/Record.h"
