// The notification service interface has no code of its own; this file gives it its meta-object.
#include "platform/DesktopNotifier.h"
