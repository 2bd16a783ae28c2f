#include "platform/UserSession.h"

#include <unistd.h>

namespace UserSession {

QString userId() {
    return QString::number(::getuid());
}

} // namespace UserSession
