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
    Destinations = std::make_shared<colDestinations>();
    Backups = std::make_shared<colBackups>(Destinations);
    Backups->setTotalListener([this](int count) { ui.setAssociationCount(count); });
    DetectFolders = std::make_shared<colDetectFolders>(watches.get());
    DetectedFiles = std::make_shared<colDetectedFiles>();
    Notifiers = std::make_shared<colNotifiers>();
    Recent = std::make_shared<colRecent>();
}
