#include "model/Records.h"

#include "model/Collections.h"
#include "platform/DateTimeText.h"

std::shared_ptr<::colDestinations> clsBackup::colDestinations() {
    // Every caller that creates an association passes the shared root; one made without it still
    // answers with a collection, and keeps answering with the same one.
    if (!m_destinations)
        m_destinations = std::make_shared<::colDestinations>();
    return m_destinations;
}

clsBackup newAssociation(const QString& sourcePath, bool folder, const QString& volume,
                         const QString& dateCreated,
                         std::shared_ptr<::colDestinations> destinations) {
    clsBackup association;
    association.SourcePath = sourcePath;
    association.Folder = folder;
    association.Volume = volume;
    association.DateCreated = dateCreated;
    association.Enabled = true;
    association.NotifyOnSuccess = true;
    association.NotifyOnError = true;
    association.Versions = 1;
    association.DateLastModified = DateTimeText::never;
    association.DateLastActivity = DateTimeText::never;
    association.setDestinations(std::move(destinations));
    return association;
}
