#pragma once
// The association and destination stores read into a model of their own, away from the one the
// program runs on: the start reads them on a worker while the window answers, and the window's
// thread then takes the result over whole. The associations that are not safe to run are
// already disabled in it, with the reasons to tell.

#include "engine/BackupOwners.h"
#include "model/Collections.h"
#include "persistence/AssociationStore.h"

#include <QString>
#include <memory>
#include <vector>

struct LoadedStores {
    std::shared_ptr<colDestinations> destinations;
    std::shared_ptr<colBackups> backups;
    StoreReadReport associationReport;
    StoreReadReport destinationReport;

    // The folder watch of each loaded association, in store order.
    struct Watch {
        QString source;
        bool recursive = false;
    };
    std::vector<Watch> watches;

    // An association disabled because it would back up into another's place or feed a chain of
    // copies; `text` says why, naming both.
    struct Refusal {
        QString source;
        bool folder = false;
        QString text;
    };
    std::vector<Refusal> refusals;

    // Who owns which place in the backups, worked out for the loaded set as it is disabled.
    std::shared_ptr<const BackupOwners::Owners> owners;
};

namespace StoreLoad {

// Reads usrdatab and usrdatad from `folder`. Touches nothing but the files and the result, so it
// may run on any thread.
LoadedStores read(const QString& folder, const QString& versionBase);

} // namespace StoreLoad
