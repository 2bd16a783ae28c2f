// The system's own headers belong here.
#include <fcntl.h>
#include <sys/stat.h>
