#pragma once
// The user the program runs for, as the system knows them.

#include <QString>

namespace UserSession {

// The user's numeric id as text ("1000"), for names that must differ between users.
QString userId();

// A folder only this user can enter, for the single-instance socket and the start-up lock:
// $XDG_RUNTIME_DIR where the session has one, else one Qt makes for the user. Empty when
// neither is owned by the user and closed to others.
QString privateRuntimeFolder();

// True when the process at the other end of the connected local socket `descriptor` runs as
// this user. False when it runs as another or cannot be told.
bool peerIsThisUser(qintptr descriptor);

} // namespace UserSession
