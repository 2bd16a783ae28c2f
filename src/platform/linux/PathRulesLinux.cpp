#include "platform/Paths.h"

// The path rules of Linux: one separator, one root, names compared byte for byte, and names
// that are UTF-8 where they can be.
namespace Paths {

QChar separator() {
    return QLatin1Char('/');
}

bool isAbsolute(const QString& path) {
    return path.startsWith(separator());
}

QString networkPrefix() {
    return QStringLiteral("//");
}

bool isNetworkName(const QString& path) {
    return path.startsWith(networkPrefix());
}

QString withoutNetworkPrefix(const QString& path) {
    return isNetworkName(path) ? path.mid(networkPrefix().size()) : path;
}

bool isRoot(const QString& path) {
    return path.size() == 1 && path[0] == separator();
}

// Linux file systems compare names byte for byte, so the key is the path itself. A platform that
// ignores case folds it here and nowhere else.
QString PathKey(const QString& path) {
    return path;
}

QByteArray toNative(const QString& path) {
    return toUtf8Bytes(path);
}

QString fromNative(QByteArrayView name) {
    return fromUtf8Bytes(name);
}

} // namespace Paths
