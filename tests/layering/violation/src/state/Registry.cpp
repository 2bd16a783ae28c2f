// A state file calling the system directly instead of through src/platform.
#include "state/Registry.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
