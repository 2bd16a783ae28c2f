#pragma once
// Set from a termination signal's handler: a call that a signal interrupted (EINTR) is then not
// started again, so that a copy blocked on a dead network share or a slow disk ends with the
// program instead of holding it up.

namespace Interruption {

// Async-signal-safe.
void request();
bool requested();
// For tests, which raise the signal more than once in one process.
void clear();

} // namespace Interruption
