#include "persistence/AssociationStore.h"
#include "persistence/Log.h"

#include "persistence/StoreLines.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

#include <QStringList>

using namespace AssociationStore;

namespace {

QString pathIn(const QString& folder, const QString& name) {
    return folder + u'/' + name;
}

// A value holding a line break cannot be read back, and would shift every record after it; such
// a record is left out rather than corrupting the whole file.
bool fitsOnLines(std::initializer_list<const QString*> values) {
    for (const QString* value : values)
        if (value->contains(u'\n'))
            return false;
    return true;
}

void appendAssociation(QStringList& lines, const clsBackup& b) {
    if (!fitsOnLines(
            {&b.SourcePath, &b.Volume, &b.DateCreated, &b.DateLastModified, &b.DateLastActivity}))
        return;
    lines << b.SourcePath << b.Volume << b.DateCreated << b.DateLastModified << b.DateLastActivity
          << StoreLines::flag(b.Folder) << StoreLines::flag(b.Enabled)
          << StoreLines::flag(b.KeepBackup) << QString::number(b.Versions)
          << StoreLines::flag(b.Recursive) << StoreLines::flag(b.CopyHidden)
          << StoreLines::flag(b.NotifyOnSuccess) << StoreLines::flag(b.NotifyOnError);
}

// Adds the association held by the 13 lines at `first`, then opens its watch. False when the
// reading must end here: a Versions line out of 16-bit range, a source path already loaded, or
// a watch that could not be made (the association itself then stays).
bool addAssociation(colBackups& backups, const std::shared_ptr<colDestinations>& destinations,
                    const QStringList& lines, qsizetype first, const CreateWatch& createWatch) {
    const auto line = [&](int number) -> const QString& { return lines[first + number - 1]; };
    const auto number = StoreLines::leadingNumber(line(9));
    const auto versions = number ? StoreLines::toInt16(*number) : std::nullopt;
    if (!versions)
        return false;
    const QString& sourcePath = line(1);
    const bool recursive = StoreLines::isTrue(line(10));
    try {
        backups.Add(sourcePath, StoreLines::isTrue(line(6)), destinations, recursive, line(3),
                    line(2), StoreLines::isTrue(line(13)), StoreLines::isTrue(line(12)),
                    StoreLines::isTrue(line(7)), line(4), line(5), StoreLines::isTrue(line(8)),
                    *versions, StoreLines::isTrue(line(11)), Paths::PathKey(sourcePath));
    } catch (const CollectionError&) {
        return false;
    }
    try {
        if (createWatch)
            createWatch(sourcePath, recursive);
    } catch (...) {
        qCWarning(lcPersistence) << "No watch for" << Paths::displayName(sourcePath) << ":"
                                 << currentExceptionText();
        return false;
    }
    return true;
}

} // namespace

TextFile::WriteResult saveAssociations(const colBackups& backups, const QString& folder) {
    QStringList lines;
    lines.reserve(qsizetype(backups.Count()) * AssociationLines);
    for (const auto& backup : backups)
        appendAssociation(lines, *backup);
    return TextFile::writeAtomically(pathIn(folder, AssociationsFile),
                                     TextFile::encodeLines(lines));
}

TextFile::WriteResult saveDestinations(const colDestinations& destinations, const QString& folder) {
    QStringList lines;
    lines.reserve(qsizetype(destinations.Count()) * DestinationLines);
    for (const auto& d : destinations)
        if (fitsOnLines({&d->Path, &d->Source, &d->Volume}))
            lines << d->Path << d->Source << d->Volume;
    return TextFile::writeAtomically(pathIn(folder, DestinationsFile),
                                     TextFile::encodeLines(lines));
}

void loadAssociations(colBackups& backups, std::shared_ptr<colDestinations> destinations,
                      const QString& folder, const CreateWatch& createWatch) {
    // Removing them one by one would prune the destinations after each removal, quadratic in a
    // large store; removing all at once ends in the same state: no association, and therefore
    // no destination left unpruned, with the total told once.
    backups.Clear();
    const auto lines = TextFile::readLines(pathIn(folder, AssociationsFile));
    if (!lines)
        return;
    // An incomplete last record is never added.
    for (qsizetype first = 0; first + AssociationLines <= lines->size(); first += AssociationLines)
        if (!addAssociation(backups, destinations, *lines, first, createWatch))
            return;
}

void loadDestinations(colDestinations& destinations, const QString& folder) {
    destinations.Clear();
    const auto lines = TextFile::readLines(pathIn(folder, DestinationsFile));
    if (!lines)
        return;
    for (qsizetype first = 0; first + DestinationLines <= lines->size(); first += DestinationLines)
        destinations.Add(lines->at(first), lines->at(first + 1), lines->at(first + 2));
}
