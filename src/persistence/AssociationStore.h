#pragma once
// The association store: usrdatab (13 lines per association) and usrdatad (3 lines per
// destination) in the application-data folder. Writers replace a file only with a whole new one
// and say why they failed; readers skip a record they cannot take and read on.

#include "model/Collections.h"
#include "platform/TextFile.h"

#include <QString>
#include <functional>
#include <memory>

namespace AssociationStore {

inline const QString associationsFile = QStringLiteral("usrdatab");
inline const QString destinationsFile = QStringLiteral("usrdatad");
constexpr int associationLines = 13;
constexpr int destinationLines = 3;

// Opens the folder watch of a loaded association; may throw to refuse it (the load goes on).
using CreateWatch = std::function<void(const QString& sourcePath, bool recursive)>;

} // namespace AssociationStore

// What a load left out of the collection, for the activity log.
struct StoreReadReport {
    // Records were skipped (damaged, duplicate, cut short, or not full paths). The file as it
    // was read is then kept beside it as `keptAs` ("usrdatab.unread-20260314-093000"), so that
    // the next save cannot lose them; `keepError` says why that failed.
    bool partlyRead = false;
    QString keptAs;
    QString keepError;
    // Source paths (usrdatab) or destination paths (usrdatad) skipped as not being full paths.
    QStringList notAbsolute;
};

TextFile::WriteResult saveAssociations(const colBackups& backups, const QString& folder);
TextFile::WriteResult saveDestinations(const colDestinations& destinations, const QString& folder);

// Empties `backups` (each removal prunes `destinations` of orphans) and fills it from usrdatab,
// opening each association's watch as it is added. A record that cannot be added is skipped.
StoreReadReport loadAssociations(colBackups& backups, std::shared_ptr<colDestinations> destinations,
                                 const QString& folder,
                                 const AssociationStore::CreateWatch& createWatch);
// Empties `destinations` and fills it from usrdatad, orphans included.
StoreReadReport loadDestinations(colDestinations& destinations, const QString& folder);
