#pragma once
// The user the program runs for, as the system knows them.

#include <QString>

namespace UserSession {

// The user's numeric id as text ("1000"), for names that must differ between users.
QString userId();

} // namespace UserSession
