#include "platform/TextFile.h"

#include "platform/DurableFile.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/PrivateFolder.h"

#include <QFile>
#include <QStringDecoder>

namespace TextFile {

namespace {
const QByteArray utf8Bom("\xEF\xBB\xBF");

} // namespace

QStringList decodeLines(const QByteArray& content) {
    QStringList lines;
    qsizetype start = content.startsWith(utf8Bom) ? utf8Bom.size() : 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        const qsizetype next = end < 0 ? content.size() : end + 1;
        if (end < 0)
            end = content.size();
        qsizetype stop = end;
        if (stop > start && content[stop - 1] == '\r')
            --stop;
        // A line that is not valid UTF-8 (a path in another encoding) keeps its bytes.
        lines << Paths::fromUtf8Bytes(QByteArrayView(content).sliced(start, stop - start));
        start = next;
    }
    return lines;
}

QByteArray encodeLines(const QStringList& lines) {
    QByteArray out;
    // Readers drop one leading byte-order mark; a first value that itself begins with one keeps
    // it only if the file carries a mark of its own in front.
    if (!lines.isEmpty() && lines.first().startsWith(QChar(0xFEFF)))
        out += utf8Bom;
    for (const QString& line : lines) {
        out += Paths::toUtf8Bytes(line);
        out += "\r\n";
    }
    return out;
}

std::optional<QByteArray> readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return content;
}

std::optional<QStringList> readLines(const QString& path) {
    const auto content = readBytes(path);
    if (!content)
        return std::nullopt;
    return decodeLines(*content);
}

WriteResult writeAtomically(const QString& path, const QByteArray& content) {
    const QString folder = Paths::parent(path);
    WriteResult result;
    if (!folder.isEmpty() && !PrivateFolder::make(folder))
        result.error =
            QStringLiteral("Cannot create the folder %1").arg(Paths::displayName(folder));
    else
        result.error = DurableFile::replace(path, path + twinSuffix, content);
    if (!result.ok())
        qCWarning(lcPlatform) << result.error;
    return result;
}

WriteResult writeAllAtomically(const QList<std::pair<QString, QByteArray>>& files) {
    // Every twin is made durable first (through a twin of its own); only then are the twins
    // renamed over their files, which cannot run out of space half way.
    QStringList twins;
    WriteResult result;
    for (const auto& [path, content] : files) {
        const QString folder = Paths::parent(path);
        const QString twin = path + twinSuffix;
        if (!folder.isEmpty() && !PrivateFolder::make(folder))
            result.error =
                QStringLiteral("Cannot create the folder %1").arg(Paths::displayName(folder));
        else
            result.error = DurableFile::replace(twin, twin + twinSuffix, content);
        if (!result.ok())
            break;
        twins << twin;
    }
    for (qsizetype i = 0; i < twins.size(); ++i) {
        // After a failure the rest are not renamed: the files keep as much of one state as they
        // can, and the user is told.
        if (result.ok())
            result.error = DurableFile::renameOver(twins[i], files[i].first);
        else
            QFile::remove(twins[i]);
    }
    if (!result.ok())
        qCWarning(lcPlatform) << "A set of files could not be written:" << result.error;
    return result;
}

} // namespace TextFile
