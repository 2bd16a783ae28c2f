#include "engine/BackupLayout.h"

#include "model/Records.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"

#include <QHash>
#include <algorithm>
#include <climits>

namespace {

// The name a mount point mirrors under when it has no last component.
const QString rootMountName = QStringLiteral("root");
const QChar versionSeparator = QLatin1Char('-');
// What a source name that looks like a version folder's takes on in the mirror.
const QChar renameMark = QLatin1Char('~');
// More digits than this make a number no version folder reaches, though it looks like one.
constexpr qsizetype maxVersionDigits = 9;

// A folder's own name in a mirrored path; a mount point's is its last component too.
QString mirrorName(const QString& folder) {
    return Paths::isRoot(folder) ? rootMountName : Paths::fileName(folder);
}

// What a copy can be: a file, or a link backed up as a link.
bool isCopy(const FolderEntry& entry) {
    return entry.kind == FolderEntry::Kind::File || entry.kind == FolderEntry::Kind::Link;
}

void sortCopies(FoundFile& file) {
    std::sort(file.copies.begin(), file.copies.end(),
              [](const FoundCopy& a, const FoundCopy& b) { return a.version < b.version; });
}

} // namespace

QString Placement::copyPath() const {
    return Paths::join(destDir, copyName);
}

BackupLayout::BackupLayout(const QString& sourceRoot, bool folderAssociation,
                           const QString& versionBase)
    : m_sourceRoot(Paths::withoutTrailingSeparator(sourceRoot)),
      m_folderAssociation(folderAssociation), m_versionBase(versionBase) {}

BackupLayout BackupLayout::of(const clsBackup& association, const QString& prevSaveName) {
    return BackupLayout(association.SourcePath, association.Folder, prevSaveName);
}

QString BackupLayout::versionFolderName(const QString& base, int k) {
    return base + versionSeparator + QString::number(k);
}

int BackupLayout::versionLike(const QString& name, qsizetype& tildes) const {
    const QString head = m_versionBase + versionSeparator;
    if (name.size() <= head.size() || !Paths::startsWith(name, head))
        return 0;
    qsizetype at = head.size();
    // Version numbers are written without leading zeros.
    if (name[at] < QLatin1Char('1') || name[at] > QLatin1Char('9'))
        return 0;
    const qsizetype digitsStart = at;
    while (at < name.size() && name[at].isDigit() && name[at].unicode() < 0x80)
        ++at;
    tildes = name.size() - at;
    for (qsizetype i = at; i < name.size(); ++i)
        if (name[i] != renameMark)
            return 0;
    const qsizetype digits = at - digitsStart;
    return digits > maxVersionDigits ? INT_MAX : name.mid(digitsStart, digits).toInt();
}

int BackupLayout::versionNumberOf(const QString& mirroredName) const {
    qsizetype tildes = 0;
    const int k = versionLike(mirroredName, tildes);
    return tildes == 0 ? k : 0;
}

QString BackupLayout::mirroredName(const QString& sourceName) const {
    qsizetype tildes = 0;
    return versionLike(sourceName, tildes) > 0 ? sourceName + renameMark : sourceName;
}

std::optional<QString> BackupLayout::sourceNameOf(const QString& mirroredName) const {
    qsizetype tildes = 0;
    if (versionLike(mirroredName, tildes) == 0)
        return mirroredName;
    if (tildes == 0)
        return std::nullopt;
    return mirroredName.chopped(1);
}

bool BackupLayout::mayRenameOnTheWayTo(const QString& path) const {
    return Paths::PathKey(path).contains(Paths::PathKey(m_versionBase + versionSeparator));
}

QString BackupLayout::topSourceFolder() const {
    return m_folderAssociation ? m_sourceRoot : Paths::parent(m_sourceRoot);
}

Placement BackupLayout::mirrorOf(const QString& destPath, const QString& sourceFolder) const {
    const QString top = topSourceFolder();
    Placement place;
    place.destPath = destPath;
    place.names << mirrorName(top);
    place.sourceFolders << top;
    QString below = top;
    for (const QString& piece : Paths::componentsBelow(sourceFolder, top)) {
        below = Paths::join(below, piece);
        const QString mirrored = mirroredName(piece);
        if (mirrored != piece)
            place.renamed << below;
        place.names << mirrored;
        place.sourceFolders << below;
    }
    place.destDir = Paths::join(destPath, place.names.join(Paths::separator()));
    return place;
}

Placement BackupLayout::placeFile(const QString& destPath, const QString& sourceFile) const {
    Placement place = mirrorOf(destPath, Paths::parent(sourceFile));
    const QString name = Paths::fileName(sourceFile);
    place.copyName = mirroredName(name);
    if (place.copyName != name)
        place.renamed << sourceFile;
    return place;
}

QString BackupLayout::mirroredFolderOf(const QString& destPath, const QString& sourceFolder) const {
    return mirrorOf(destPath, sourceFolder).destDir;
}

QString BackupLayout::versionPath(const QString& destPath, const QString& sourceFile, int k) const {
    const Placement place = placeFile(destPath, sourceFile);
    return Paths::join(Paths::join(place.destDir, versionFolderName(m_versionBase, k)),
                       place.copyName);
}

FoundFile BackupLayout::findFile(const FileSystem& fso, const QString& destPath,
                                 const QString& sourceFile) const {
    FoundFile found{sourceFile, {}};
    const Placement place = placeFile(destPath, sourceFile);
    const QString base = fso.localPathOf(destPath);
    const auto entries = fso.entriesBelow(base, place.names);
    if (!entries)
        return found;
    const QString localDir = Paths::join(base, place.names.join(Paths::separator()));
    for (const FolderEntry& entry : *entries) {
        if (Paths::samePath(entry.name, place.copyName) && isCopy(entry)) {
            found.copies.push_back({0, Paths::join(localDir, entry.name), entry});
            continue;
        }
        const int k = versionNumberOf(entry.name);
        if (k == 0 || entry.kind != FolderEntry::Kind::Folder)
            continue;
        const auto kept =
            fso.entryBelow(base, place.names + QStringList{entry.name, place.copyName});
        if (kept && isCopy(*kept))
            found.copies.push_back(
                {k, Paths::join(Paths::join(localDir, entry.name), kept->name), *kept});
    }
    sortCopies(found);
    return found;
}

std::vector<FoundFile> BackupLayout::findBelow(const FileSystem& fso, const QString& destPath,
                                               const QString& sourceFolder) const {
    const QString base = fso.localPathOf(destPath);
    std::vector<FoundFile> files;
    // The files of the folder being looked through, by their source names: a copy and its
    // versions all lie in one mirrored folder, so the index never needs to be wider than that.
    QHash<QString, size_t> inFolder;
    // Folders still to look through: their mirrored components and the source folder behind.
    std::vector<std::pair<QStringList, QString>> pending{
        {mirrorOf(destPath, sourceFolder).names, Paths::withoutTrailingSeparator(sourceFolder)}};
    while (!pending.empty()) {
        const auto [mirrored, source] = std::move(pending.back());
        pending.pop_back();
        const auto entries = fso.entriesBelow(base, mirrored);
        if (!entries)
            continue;
        inFolder.clear();
        const QString localDir = Paths::join(base, mirrored.join(Paths::separator()));
        const auto add = [&](const QString& name, FoundCopy copy) {
            auto slot = inFolder.constFind(name);
            if (slot == inFolder.cend()) {
                slot = inFolder.insert(name, files.size());
                files.push_back({Paths::join(source, name), {}});
            }
            files[*slot].copies.push_back(std::move(copy));
        };
        for (const FolderEntry& entry : *entries) {
            if (OwnTemporaryNames::matches(entry.name))
                continue;
            if (const int k = versionNumberOf(entry.name); k > 0) {
                if (entry.kind != FolderEntry::Kind::Folder)
                    continue;
                const auto kept = fso.entriesBelow(base, mirrored + QStringList{entry.name});
                const QString versionDir = Paths::join(localDir, entry.name);
                for (const FolderEntry& version : kept.value_or(std::vector<FolderEntry>{})) {
                    const std::optional<QString> name = sourceNameOf(version.name);
                    if (name && isCopy(version) && !OwnTemporaryNames::matches(version.name))
                        add(*name, {k, Paths::join(versionDir, version.name), version});
                }
                continue;
            }
            const QString name = *sourceNameOf(entry.name);
            if (entry.kind == FolderEntry::Kind::Folder)
                pending.emplace_back(mirrored + QStringList{entry.name}, Paths::join(source, name));
            else if (isCopy(entry))
                add(name, {0, Paths::join(localDir, entry.name), entry});
        }
    }
    for (FoundFile& file : files)
        sortCopies(file);
    // Sorted by keys made once, not twice per comparison.
    std::vector<std::pair<QString, size_t>> order;
    order.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i)
        order.emplace_back(Paths::PathKey(files[i].sourcePath), i);
    std::sort(order.begin(), order.end());
    std::vector<FoundFile> sorted;
    sorted.reserve(files.size());
    for (const auto& [key, i] : order)
        sorted.push_back(std::move(files[i]));
    return sorted;
}

std::vector<FoundFile> BackupLayout::findAll(const FileSystem& fso, const QString& destPath) const {
    if (m_folderAssociation)
        return findBelow(fso, destPath, m_sourceRoot);
    FoundFile file = findFile(fso, destPath, m_sourceRoot);
    if (file.copies.empty())
        return {};
    return {std::move(file)};
}
