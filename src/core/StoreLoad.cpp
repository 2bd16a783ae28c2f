#include "core/StoreLoad.h"

#include "engine/BackupOwners.h"
#include "platform/Paths.h"

#include <algorithm>

namespace {
// An association of a set that is not safe to run, set aside until the user changes the set.
const QString disabledNotice = QStringLiteral("%1 %2 is disabled.");

// Stores written before these rules, or by hand, may hold two associations that back up into one
// place, or a chain that copies copies back into its sources: the later association of each is
// disabled, so the earlier one keeps its backups as they were. Returns the set as it is then.
BackupOwners::Snapshot disableUnsafeAssociations(LoadedStores& loaded, const QString& versionBase) {
    BackupOwners::Snapshot owners =
        BackupOwners::snapshotOf(*loaded.backups, *loaded.destinations, versionBase);
    const auto disable = [&](qsizetype index, const QString& why) {
        owners.members[size_t(index)].enabled = false;
        const auto association = loaded.backups->Item(int(index) + 1);
        association->Enabled = false;
        loaded.refusals.push_back(
            {association->SourcePath, association->Folder,
             disabledNotice.arg(why, QLatin1Char('"') +
                                         Paths::displayName(association->SourcePath) +
                                         QLatin1Char('"'))});
    };
    for (const BackupOwners::Clash& clash : BackupOwners::clashes(owners))
        if (owners.members[size_t(clash.second)].enabled)
            disable(clash.second, BackupOwners::describe(owners, clash));
    for (auto chains = BackupOwners::chains(owners); !chains.empty();
         chains = BackupOwners::chains(owners)) {
        const BackupOwners::Chain& chain = chains.front();
        disable(*std::max_element(chain.begin(), chain.end()),
                BackupOwners::describe(owners, chain));
    }
    return owners;
}
} // namespace

LoadedStores StoreLoad::read(const QString& folder, const QString& versionBase) {
    LoadedStores loaded;
    loaded.destinations = std::make_shared<colDestinations>();
    loaded.backups = std::make_shared<colBackups>(loaded.destinations);
    loaded.associationReport = loadAssociations(*loaded.backups, loaded.destinations, folder,
                                                [&loaded](const QString& source, bool recursive) {
                                                    loaded.watches.push_back({source, recursive});
                                                });
    loaded.destinationReport = loadDestinations(*loaded.destinations, folder);
    loaded.destinations->buildIndex();
    loaded.owners = std::make_shared<const BackupOwners::Owners>(
        disableUnsafeAssociations(loaded, versionBase));
    return loaded;
}
