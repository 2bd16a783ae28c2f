#pragma once
// Whether the session has a display to show windows on.

namespace GraphicalSession {

// False for a session without a graphical display (a service, a remote shell, a test run).
bool available();

} // namespace GraphicalSession
