#include "platform/GraphicalSession.h"

#include <QtGlobal>

namespace GraphicalSession {

bool available() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace GraphicalSession
