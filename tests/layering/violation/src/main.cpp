// The entry point sits above every layer.
#include "app/Application.h"
