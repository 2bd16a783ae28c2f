#include "presentation/StatusTexts.h"

#include "model/Records.h"

namespace StatusTexts {

QString running(UserInterface::RunningState state) {
    switch (state) {
    case UserInterface::RunningState::Initializing:
        return QStringLiteral("Initializing... ");
    case UserInterface::RunningState::Scanning:
        return QStringLiteral("Scanning... ");
    case UserInterface::RunningState::Waiting:
        return QStringLiteral("Waiting... ");
    case UserInterface::RunningState::Paused:
        return QStringLiteral("Paused... ");
    case UserInterface::RunningState::Exiting:
        return QStringLiteral("Exiting... ");
    }
    return {};
}

QString associations(int count) {
    return QStringLiteral("Total Associations: %1 ").arg(count);
}

QString volume(const QString& shown) {
    return QStringLiteral("Selected Drive Volume: %1 ").arg(shown);
}

QString scheme(const QString& name) {
    return QStringLiteral("Recent scheme: %1 ").arg(name.isEmpty() ? notApplicable : name);
}

} // namespace StatusTexts
