#pragma once
// Path helpers. Every split, join, parent or prefix test of a path goes through here, so that
// another platform only swaps the separator, root and case rules (linux/PathRulesLinux.cpp), and
// every system call on a path takes its name from toNative().

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace Paths {

// The separator of native paths ('/' here).
QChar separator();

// The key under which a path is filed in every collection (associations, watches, tree nodes,
// per-path images). Paths compare the way the file system does: exactly on Linux.
QString PathKey(const QString& path);

// True when two paths name the same place by the file system's rule.
bool samePath(const QString& a, const QString& b);

// True when `path` begins with `prefix` by the file system's rule (plain text prefix, not
// component-wise; callers that need a component test add the separator count test).
bool startsWith(const QString& path, const QString& prefix);

// True for a full path, one that does not depend on the current folder ("/a", "//server/s").
bool isAbsolute(const QString& path);

// What a path naming a network share begins with ("//" of "//server/share/rest").
QString networkPrefix();
// True when `path` names a network share by its server ("//server/share/rest").
bool isNetworkName(const QString& path);
// `path` without its network prefix ("server/share/rest"); a local path as it is.
QString withoutNetworkPrefix(const QString& path);

// True when `path` is a root ("/"); roots keep their trailing separator.
bool isRoot(const QString& path);

// Drops one trailing separator unless the path is a root.
QString withoutTrailingSeparator(const QString& path);

// Number of separators in `path`.
int separatorCount(const QString& path);

// True when `path` is `folder` or lies anywhere below it, compared component by component, so
// that "/a/Docs2" is not taken to be inside "/a/Docs". Trailing separators do not count.
bool isSameOrBelow(const QString& path, const QString& folder);

// The components of `path` below `folder`, outermost first; empty when `path` is `folder` or
// does not lie below it.
QStringList componentsBelow(const QString& path, const QString& folder);

// True when `child` lies directly in `folder`: it begins with it and has exactly one separator
// more than the folder with one trailing separator removed.
bool isDirectlyIn(const QString& child, const QString& folder);

// The containing folder ("/a/b" -> "/a", "/a" -> "/"); empty for a root.
QString parent(const QString& path);

// The last component ("/a/b.txt" -> "b.txt"); empty for a root.
QString fileName(const QString& path);

// Joins a folder and a relative part with exactly one separator between them.
QString join(const QString& folder, const QString& name);

// Splits at the separator, as a text split would (a leading "/" gives an empty first piece).
QStringList split(const QString& path);

// --- names as bytes
// File names are bytes, and not every name is valid UTF-8 (a name written under another locale:
// "\xff\xfe.txt"). Such a name must reach the system again byte for byte, so UTF-8 is decoded
// with each byte that is not part of a valid sequence held as the lone surrogate U+DC80..U+DCFF,
// and encoded back to that same byte. Any byte string survives the round trip unchanged.
QString fromUtf8Bytes(QByteArrayView bytes);
QByteArray toUtf8Bytes(const QString& text);

// The name a system call takes for `path`, and the path for a name the system gave.
QByteArray toNative(const QString& path);
QString fromNative(QByteArrayView name);

// A name for people (standard output, the activity log, popups), on one line whatever it holds,
// so that a file name cannot pass for a line of its own: each byte that is not UTF-8 as "\xNN",
// newline, tab and carriage return as "\n", "\t", "\r", the other C0 controls and DEL as "\xNN",
// the C1 controls and the line and paragraph separators as "\uNNNN". Showing a name twice
// changes nothing more.
QString displayName(const QString& path);

} // namespace Paths
