#pragma once
// The program-wide options, their defaults, and the opts file (25 lines in this order).

#include <QString>

struct Options {
    double BusyTimeout = 0;
    bool ShowSplash = false;
    QString PrevSaveName;
    bool NotifySuccessDisabled = false;
    bool NotifyErrorDisabled = false;
    bool TrayNod = false;
    bool TrayShake = false;
    bool TrayShrug = false;
    bool ShowScanning = false;
    bool NotifySourceBusy = false;
    bool FullSource = false;
    bool FullDest = false;
    bool AutoAdvance = false;
    double AdvanceSeconds = 0;
    bool ErrorNoSource = false;
    bool ErrorSourceVol = false;
    bool ErrorNoDest = false;
    bool ErrorCreateFolder = false;
    bool ErrorDestVol = false;
    bool ErrorCopyFailed = false;
    bool ErrorPrevSave = false;
    bool ErrorLoop = false;
    bool UseFilters = false;
    QString FilterPrefixes;
    QString FilterSuffixes;

    // The defaults that apply when opts is missing (ShowSplash keeps its value).
    void setDefaults();
};
