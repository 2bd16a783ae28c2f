#pragma once
// The texts of the main window's status-bar panels, made from what the core reports.

#include "state/UserInterface.h"

#include <QString>

namespace StatusTexts {
// "Initializing... ", "Scanning... ", "Waiting... ", "Paused... ", "Exiting... ".
QString running(UserInterface::RunningState state);
// "Total Associations: <count> ".
QString associations(int count);
// "Recent scheme: <name> ", with "<n/a>" when no scheme was loaded or saved.
QString scheme(const QString& name);
// "Selected Drive Volume: <shown> ".
QString volume(const QString& shown);
} // namespace StatusTexts
