#include "platform/Paths.h"

namespace Paths {

namespace {
const QChar Sep = QLatin1Char('/');
const QString Root = QStringLiteral("/");
} // namespace

QChar separator() {
    return Sep;
}

// Linux file systems compare names byte for byte, so the key is the path itself. A platform that
// ignores case folds it here and nowhere else.
QString PathKey(const QString& path) {
    return path;
}

bool samePath(const QString& a, const QString& b) {
    return PathKey(a) == PathKey(b);
}

bool startsWith(const QString& path, const QString& prefix) {
    return PathKey(path).startsWith(PathKey(prefix));
}

bool isRoot(const QString& path) {
    return path == Root;
}

QString withoutTrailingSeparator(const QString& path) {
    if (isRoot(path) || !path.endsWith(Sep))
        return path;
    return path.chopped(1);
}

int separatorCount(const QString& path) {
    return int(path.count(Sep));
}

bool isDirectlyIn(const QString& child, const QString& folder) {
    // The folder with its separator: a root already has it, so "/a" is directly in "/".
    const QString head = withoutTrailingSeparator(folder);
    const QString withSep = head.endsWith(Sep) ? head : head + Sep;
    const QString c = withoutTrailingSeparator(child);
    if (!startsWith(c, withSep) || c.size() == withSep.size())
        return false;
    return separatorCount(c) == separatorCount(withSep);
}

QString parent(const QString& path) {
    const QString p = withoutTrailingSeparator(path);
    if (isRoot(p))
        return {};
    const qsizetype cut = p.lastIndexOf(Sep);
    if (cut < 0)
        return {};
    return cut == 0 ? Root : p.left(cut);
}

QString fileName(const QString& path) {
    const QString p = withoutTrailingSeparator(path);
    if (isRoot(p))
        return {};
    return p.mid(p.lastIndexOf(Sep) + 1);
}

QString join(const QString& folder, const QString& name) {
    qsizetype start = 0;
    while (start < name.size() && name[start] == Sep)
        ++start;
    const QString rest = name.mid(start);
    if (folder.isEmpty())
        return rest;
    QString head = folder;
    while (head.size() > 1 && head.endsWith(Sep))
        head.chop(1);
    if (rest.isEmpty())
        return head;
    return head.endsWith(Sep) ? head + rest : head + Sep + rest;
}

QStringList split(const QString& path) {
    return path.split(Sep);
}

} // namespace Paths
