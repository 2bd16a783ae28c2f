#include "state/AppState.h"

#include "state/UserInterface.h"
#include "state/WatchRegistry.h"

AppState::AppState(UserInterface& ui_, MessageBoxes& messages_, Clock& clock_,
                   std::unique_ptr<FileSystem> fileSystem)
    : ui(ui_), messages(messages_), clock(clock_),
      fso(fileSystem ? std::move(fileSystem) : std::make_unique<FileSystem>()),
      watches(std::make_unique<WatchRegistry>()) {
    releaseRoots();
}

AppState::~AppState() = default;

void AppState::releaseRoots() {
    adoptAssociations(std::make_shared<colDestinations>(), nullptr);
    detectFolders = std::make_shared<colDetectFolders>(watches.get());
    detectedFiles = std::make_shared<colDetectedFiles>();
    notifiers = std::make_shared<colNotifiers>();
    recent = std::make_shared<colRecent>();
}

void AppState::adoptAssociations(std::shared_ptr<colDestinations> loadedDestinations,
                                 std::shared_ptr<colBackups> loadedBackups) {
    destinations = std::move(loadedDestinations);
    backups = loadedBackups ? std::move(loadedBackups) : std::make_shared<colBackups>(destinations);
    backups->setTotalListener([this](int count) { ui.setAssociationCount(count); });
    backups->refreshTotal();
}
