#include "persistence/SchemeFiles.h"

#include "persistence/AssociationStore.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/PrivateFolder.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>

namespace SchemeFiles {

namespace {

const QString refusedNameCharacters = QStringLiteral("\"*/:<>?\\|");
// The longest file name the file system takes, in bytes; the twin of a scheme's ".dst" file is
// the longest name a scheme needs.
constexpr qsizetype longestFileName = 255;

std::optional<QByteArray> readWhole(const QString& path) {
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    return TextFile::readBytes(path);
}

// Whether the store reader finds at least one association in `content`; it reads a copy, so
// the live associations are not touched.
bool holdsAnAssociation(const QByteArray& content) {
    QTemporaryDir scratch;
    if (!scratch.isValid() ||
        !TextFile::writeAtomically(Paths::join(scratch.path(), AssociationStore::associationsFile),
                                   content)
             .ok())
        return false;
    auto destinations = std::make_shared<colDestinations>();
    colBackups backups(destinations);
    loadAssociations(backups, destinations, scratch.path(), {});
    return backups.Count() > 0;
}

} // namespace

QString folderIn(const QString& appDataFolder) {
    return Paths::join(appDataFolder, folderName);
}

bool prepareFolder(const QString& schemeFolder) {
    if (!QFileInfo::exists(schemeFolder))
        PrivateFolder::make(schemeFolder);
    const QFileInfo info(schemeFolder);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

QStringList list(const QString& schemeFolder) {
    QDir folder(schemeFolder);
    folder.setSorting(QDir::Name | QDir::IgnoreCase);
    QStringList names;
    for (const QString& name : folder.entryList(QDir::Files))
        if (name.endsWith(extension))
            names << name;
    return names;
}

bool isRefusedNameCharacter(QChar c) {
    return refusedNameCharacters.contains(c);
}

QString fileNameFor(const QString& typed) {
    const QString name = typed.trimmed();
    if (name.isEmpty() || name.endsWith(extension))
        return name;
    return name + extension;
}

NameCheck check(const QString& fileName) {
    if (fileName.isEmpty())
        return NameCheck::Empty;
    if (isHiddenName(fileName))
        return NameCheck::Unusable;
    for (const QChar c : fileName)
        if (isRefusedNameCharacter(c) || c == Paths::separator() ||
            c.category() == QChar::Other_Control)
            return NameCheck::Unusable;
    if ((fileName + destinationsSuffix + TextFile::twinSuffix).toUtf8().size() > longestFileName)
        return NameCheck::Unusable;
    return NameCheck::Usable;
}

QString typedNameOf(const QString& fileName) {
    return fileName.endsWith(extension) ? fileName.chopped(extension.size()) : fileName;
}

bool save(const QString& appDataFolder, const QString& schemeFolder, const QString& fileName,
          QString* why) {
    if (check(fileName) != NameCheck::Usable)
        return false;
    const auto associations =
        readWhole(Paths::join(appDataFolder, AssociationStore::associationsFile));
    const auto destinations =
        readWhole(Paths::join(appDataFolder, AssociationStore::destinationsFile));
    if (!associations || !destinations)
        return false;
    const QString scheme = Paths::join(schemeFolder, fileName);
    const TextFile::WriteResult written = TextFile::writeAllAtomically(
        {{scheme, *associations}, {scheme + destinationsSuffix, *destinations}});
    if (why)
        *why = written.error;
    return written.ok();
}

LoadResult load(const QString& appDataFolder, const QString& schemeFolder, const QString& fileName,
                QString* why) {
    if (check(fileName) != NameCheck::Usable)
        return LoadResult::Missing;
    const QString scheme = Paths::join(schemeFolder, fileName);
    const auto associations = readWhole(scheme);
    const auto destinations = readWhole(scheme + destinationsSuffix);
    if (!associations || !destinations)
        return LoadResult::Missing;
    // A scheme saved with no associations is empty; one with content of which nothing reads is
    // not a scheme, and must not replace the user's set with nothing.
    if (!associations->isEmpty() && !holdsAnAssociation(*associations))
        return LoadResult::NotAScheme;
    const TextFile::WriteResult written = TextFile::writeAllAtomically(
        {{Paths::join(appDataFolder, AssociationStore::associationsFile), *associations},
         {Paths::join(appDataFolder, AssociationStore::destinationsFile), *destinations}});
    if (why)
        *why = written.error;
    return written.ok() ? LoadResult::Loaded : LoadResult::WriteFailed;
}

bool remove(const QString& schemeFolder, const QString& fileName) {
    if (check(fileName) != NameCheck::Usable)
        return false;
    bool ok = true;
    for (const QString& path : {Paths::join(schemeFolder, fileName),
                                Paths::join(schemeFolder, fileName + destinationsSuffix)})
        if (QFileInfo(path).isFile())
            ok = QFile::remove(path) && ok;
    return ok;
}

} // namespace SchemeFiles
