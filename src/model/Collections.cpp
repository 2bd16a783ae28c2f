#include "model/Collections.h"

#include <QSet>

colDestinations::Ptr colDestinations::Add(const QString& Path, const QString& Source,
                                          const QString& Volume, const QString& key) {
    auto destination = std::make_shared<clsDestination>();
    destination->Path = Path;
    destination->Source = Source;
    destination->Volume = Volume;
    append(destination, key);
    if (m_bySource)
        (*m_bySource)[Paths::PathKey(Source)].push_back(destination);
    return destination;
}

void colDestinations::buildIndex() const {
    if (m_bySource)
        return;
    m_bySource.emplace();
    m_bySource->reserve(Count());
    for (const Ptr& destination : *this)
        (*m_bySource)[Paths::PathKey(destination->Source)].push_back(destination);
}

std::vector<colDestinations::Ptr> colDestinations::of(const QString& sourcePath) const {
    buildIndex();
    return m_bySource->value(Paths::PathKey(sourcePath));
}

colBackups::colBackups(std::shared_ptr<::colDestinations> destinations)
    : m_destinations(std::move(destinations)) {}

colBackups::Ptr colBackups::Add(clsBackup association, const QString& key) {
    auto backup = std::make_shared<clsBackup>(std::move(association));
    append(backup, key);
    // A collection made without a root prunes the one its associations share.
    if (!m_destinations)
        m_destinations = backup->sharedDestinations();
    refreshTotal();
    return backup;
}

void colBackups::afterRemove() {
    pruneOrphanDestinations();
    refreshTotal();
}

void colBackups::pruneOrphanDestinations() {
    if (!m_destinations)
        return;
    QSet<QString> owners;
    owners.reserve(Count());
    for (const Ptr& backup : *this)
        owners.insert(Paths::PathKey(backup->SourcePath));
    const auto isOrphan = [&](const clsDestination& destination) {
        return !owners.contains(Paths::PathKey(destination.Source));
    };
    // Walks until one removes nothing; the owners stay fixed, so the second walk only confirms.
    while (m_destinations->removeIf(isOrphan) > 0) {
    }
}

void colBackups::refreshTotal() {
    if (m_totalListener && m_batches == 0)
        m_totalListener(Count());
}

colNotifiers::Ptr colNotifiers::Add(const QString& Source, const QString& Destination,
                                    const QString& Message, const QString& key) {
    auto notifier = std::make_shared<clsNotifier>();
    notifier->Source = Source;
    notifier->Destination = Destination;
    notifier->Message = Message;
    return append(notifier, key);
}

colRecent::Ptr colRecent::Add(const QString& DateAndTime, const QString& SourcePath,
                              const QString& SourceVolume, const QString& DestPath,
                              const QString& DestVolume, const QString& Message,
                              const QString& key) {
    auto entry = std::make_shared<clsRecent>();
    entry->DateAndTime = DateAndTime;
    entry->SourcePath = SourcePath;
    entry->SourceVolume = SourceVolume;
    entry->DestPath = DestPath;
    entry->DestVolume = DestVolume;
    entry->Message = Message;
    append(entry, key);
    return entry;
}
