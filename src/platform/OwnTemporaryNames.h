#pragma once
// The names of Quillmot's own temporary files: a copy being written beside its target, a probe
// for write access. One exact rule, ".quillmot-", sixteen lower-case hexadecimal digits, ".tmp",
// that the watch, the scans and the sweep for stale files all go by: a user's own file with a
// name like it (".quillmot-zz9.tmp") is the user's, and is backed up like any other.

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace OwnTemporaryNames {

// A fresh random name by the rule.
QString fresh();
// True when `name` (a name alone, no folder) follows the rule.
bool matches(QStringView name);
// The same for a name as the system gave it.
bool matches(QByteArrayView nativeName);

} // namespace OwnTemporaryNames
