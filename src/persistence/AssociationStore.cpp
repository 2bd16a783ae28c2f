#include "persistence/AssociationStore.h"
#include "persistence/Log.h"

#include "persistence/StoreLines.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

#include <QDateTime>
#include <QFileInfo>
#include <QStringList>

using namespace AssociationStore;

namespace {

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

// Lines 6 to 8 and 10 to 13 are Booleans; one that holds a full path is the first line of the
// next record, moved up by lines missing from this one. The offset of that line, or 0.
qsizetype misplacedRecordStart(const QStringList& lines, qsizetype first) {
    for (const int number : {6, 7, 8, 10, 11, 12, 13})
        if (Paths::isAbsolute(lines[first + number - 1]))
            return number - 1;
    return 0;
}

enum class Added { Yes, Refused, NotAbsolute };

// Adds the association held by the 13 lines at `first`, then opens its watch (a watch that
// cannot be made leaves the association loaded; the next start tries again).
Added addAssociation(colBackups& backups, const std::shared_ptr<colDestinations>& destinations,
                     const QStringList& lines, qsizetype first, const CreateWatch& createWatch) {
    const auto line = [&](int number) -> const QString& { return lines[first + number - 1]; };
    const auto number = StoreLines::leadingNumber(line(9));
    const auto versions = number ? StoreLines::toInt16(*number) : std::nullopt;
    if (!versions)
        return Added::Refused;
    const QString& sourcePath = line(1);
    if (!Paths::isAbsolute(sourcePath))
        return Added::NotAbsolute;
    clsBackup association;
    association.SourcePath = sourcePath;
    association.Volume = line(2);
    association.DateCreated = line(3);
    association.DateLastModified = line(4);
    association.DateLastActivity = line(5);
    association.Folder = StoreLines::isTrue(line(6));
    association.Enabled = StoreLines::isTrue(line(7));
    association.KeepBackup = StoreLines::isTrue(line(8));
    association.Versions = *versions;
    association.Recursive = StoreLines::isTrue(line(10));
    association.CopyHidden = StoreLines::isTrue(line(11));
    association.NotifyOnSuccess = StoreLines::isTrue(line(12));
    association.NotifyOnError = StoreLines::isTrue(line(13));
    association.setDestinations(destinations);
    const bool recursive = association.Recursive;
    try {
        backups.Add(std::move(association), Paths::PathKey(sourcePath));
    } catch (const CollectionError&) {
        return Added::Refused;
    }
    try {
        if (createWatch)
            createWatch(sourcePath, recursive);
    } catch (...) {
        qCWarning(lcPersistence) << "No watch for" << Paths::displayName(sourcePath) << ":"
                                 << currentExceptionText();
    }
    return Added::Yes;
}

// A file that was not read whole is kept as it is beside itself before anything can write over
// it, so that the records left out can still be recovered by hand.
void keepUnread(const QString& path, const QByteArray& content, StoreReadReport& report) {
    report.partlyRead = true;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString kept = path + QStringLiteral(".unread-") + stamp;
    for (int n = 2; QFileInfo::exists(kept); ++n)
        kept = path + QStringLiteral(".unread-") + stamp + QLatin1Char('-') + QString::number(n);
    const TextFile::WriteResult written = TextFile::writeAtomically(kept, content);
    if (written.ok())
        report.keptAs = kept;
    else
        report.keepError = written.error;
}

// How reading one record went: how many lines it took, and whether it was taken whole.
struct RecordStep {
    qsizetype lines = 0;
    bool whole = true;
};

// Reads a store file of records of `recordLines` lines each, handing each to `readRecord`. A
// record that cannot be added is skipped and the reading goes on; an incomplete last record is
// never added. A file not read whole is kept beside itself.
template <class ReadRecord>
StoreReadReport readRecords(const QString& path, qsizetype recordLines, ReadRecord readRecord) {
    StoreReadReport report;
    const auto content = TextFile::readBytes(path);
    if (!content)
        return report;
    const QStringList lines = TextFile::decodeLines(*content);
    bool whole = lines.size() % recordLines == 0;
    qsizetype first = 0;
    while (first + recordLines <= lines.size()) {
        const RecordStep step = readRecord(lines, first, report);
        whole = whole && step.whole;
        first += step.lines;
    }
    if (!whole)
        keepUnread(path, *content, report);
    return report;
}

} // namespace

TextFile::WriteResult saveAssociations(const colBackups& backups, const QString& folder) {
    QStringList lines;
    lines.reserve(qsizetype(backups.Count()) * associationLines);
    for (const auto& backup : backups)
        appendAssociation(lines, *backup);
    return TextFile::writeAtomically(Paths::join(folder, associationsFile),
                                     TextFile::encodeLines(lines));
}

TextFile::WriteResult saveDestinations(const colDestinations& destinations, const QString& folder) {
    QStringList lines;
    lines.reserve(qsizetype(destinations.Count()) * destinationLines);
    for (const auto& d : destinations)
        if (fitsOnLines({&d->Path, &d->Source, &d->Volume}))
            lines << d->Path << d->Source << d->Volume;
    return TextFile::writeAtomically(Paths::join(folder, destinationsFile),
                                     TextFile::encodeLines(lines));
}

StoreReadReport loadAssociations(colBackups& backups, std::shared_ptr<colDestinations> destinations,
                                 const QString& folder, const CreateWatch& createWatch) {
    // Removing them one by one would prune the destinations after each removal, quadratic in a
    // large store; removing all at once ends in the same state: no association, and therefore
    // no destination left unpruned, with the total told once.
    const colBackups::Batch wholeStore(backups);
    backups.Clear();
    const auto readRecord = [&](const QStringList& lines, qsizetype first,
                                StoreReadReport& report) -> RecordStep {
        if (const qsizetype next = misplacedRecordStart(lines, first))
            return {next, false};
        switch (addAssociation(backups, destinations, lines, first, createWatch)) {
        case Added::Yes:
            return {associationLines, true};
        case Added::NotAbsolute:
            report.notAbsolute << lines[first];
            break;
        case Added::Refused:
            break;
        }
        return {associationLines, false};
    };
    return readRecords(Paths::join(folder, associationsFile), associationLines, readRecord);
}

StoreReadReport loadDestinations(colDestinations& destinations, const QString& folder) {
    destinations.Clear();
    const auto readRecord = [&](const QStringList& lines, qsizetype first,
                                StoreReadReport& report) -> RecordStep {
        const QString& destination = lines[first];
        const QString& source = lines[first + 1];
        // A volume name is never a full path; one there is the next record, moved up by a
        // missing line.
        if (Paths::isAbsolute(lines[first + 2]))
            return {2, false};
        if (Paths::isAbsolute(destination) && Paths::isAbsolute(source)) {
            destinations.Add(destination, source, lines[first + 2]);
            return {destinationLines, true};
        }
        // Relative to what? The program's own folder is no place for a backup.
        if (!Paths::isAbsolute(destination))
            report.notAbsolute << destination;
        return {destinationLines, false};
    };
    return readRecords(Paths::join(folder, destinationsFile), destinationLines, readRecord);
}
