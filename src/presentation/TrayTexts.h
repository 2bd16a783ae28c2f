#pragma once
// The tray icon's tool tip and the captions of its menu.

#include <QString>

namespace TrayTexts {
inline const QString toolTip = QStringLiteral("Quillmot - Autobackup Software");
inline const QString about = QStringLiteral("About Quillmot");
inline const QString showWindow = QStringLiteral("Show Window");
inline const QString hideWindow = QStringLiteral("Hide Window");
inline const QString exit = QStringLiteral("Stop and Exit");
inline const QString pause = QStringLiteral("Pause");
inline const QString resume = QStringLiteral("Resume");
inline const QString optionsItem = QStringLiteral("Options");

// "Hide Window" while the main window is on the screen, else "Show Window".
inline QString showHideCaption(bool windowVisible, bool windowMinimized) {
    return windowVisible && !windowMinimized ? hideWindow : showWindow;
}
} // namespace TrayTexts
