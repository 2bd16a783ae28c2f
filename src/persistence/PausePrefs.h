#pragma once
// pprefs: whether the program was paused when it last exited.

#include "platform/TextFile.h"
#include <QString>

inline const QString pausePrefsFile = QStringLiteral("pprefs");

// What start-up does with the stored state. A file that exists but cannot be read asks for
// neither, so the program stays unpaused without saying "Waiting".
enum class PauseAtStart { Pause, Unpause, Neither };

// Writes "1" or "0". False when it failed.
TextFile::WriteResult savePausePrefs(bool paused, const QString& folder);

// Missing file: Unpause; unreadable or empty: Neither; first line "1": Pause; otherwise Unpause.
PauseAtStart loadPausePrefs(const QString& folder);
