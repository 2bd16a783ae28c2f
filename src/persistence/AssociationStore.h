#pragma once
// The association store: usrdatab (13 lines per association) and usrdatad (3 lines per
// destination) in the application-data folder. Writers replace a file only with a whole new one
// and fail silently (false); readers keep every record completed before anything went wrong.

#include "model/Collections.h"
#include "platform/TextFile.h"

#include <QString>
#include <functional>
#include <memory>

namespace AssociationStore {

inline const QString AssociationsFile = QStringLiteral("usrdatab");
inline const QString DestinationsFile = QStringLiteral("usrdatad");
constexpr int AssociationLines = 13;
constexpr int DestinationLines = 3;

// Opens the folder watch of a loaded association; may throw to refuse it, which ends the load.
using CreateWatch = std::function<void(const QString& sourcePath, bool recursive)>;

} // namespace AssociationStore

TextFile::WriteResult saveAssociations(const colBackups& backups, const QString& folder);
TextFile::WriteResult saveDestinations(const colDestinations& destinations, const QString& folder);

// Empties `backups` (each removal prunes `destinations` of orphans) and fills it from usrdatab,
// opening each association's watch as it is added.
void loadAssociations(colBackups& backups, std::shared_ptr<colDestinations> destinations,
                      const QString& folder, const AssociationStore::CreateWatch& createWatch);
// Empties `destinations` and fills it from usrdatad, orphans included.
void loadDestinations(colDestinations& destinations, const QString& folder);
