#include "model/Records.h"

#include "model/Collections.h"

std::shared_ptr<::colDestinations> clsBackup::colDestinations() {
    // Every caller that creates an association passes the shared root; one made without it still
    // answers with a collection, and keeps answering with the same one.
    if (!m_destinations)
        m_destinations = std::make_shared<::colDestinations>();
    return m_destinations;
}
