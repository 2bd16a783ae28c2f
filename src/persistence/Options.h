#pragma once
// The program-wide options, their defaults, and the opts file (25 lines in this order).

#include "platform/TextFile.h"
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

inline const QString optionsFile = QStringLiteral("opts");
inline const QString defaultPrevSaveName = QStringLiteral("PrevSave");

// True when `name` can name the previous-version folders: one plain folder name. A name with a
// separator, ".", ".." or an empty one would put the versions (or lose them) somewhere else.
bool isUsablePrevSaveName(const QString& name);
// `name`, or "PrevSave" where it is not usable.
QString usablePrevSaveName(const QString& name);

// What the options dialog's boxes hold when the user accepts it: the check boxes as the
// Booleans of `checkBoxes` (its other members are not read), and the typed texts of the two
// numbers, the previous-version name and the two multi-line filter boxes (one entry per line).
struct OptionsEntry {
    Options checkBoxes;
    QString BusyTimeout;
    QString PrevSaveName;
    QString AdvanceSeconds;
    QString FilterPrefixes;
    QString FilterSuffixes;
};

// Fills `options` from opts in `folder`: the defaults first, then the file's lines over them until
// the file or a readable value ends. The splash switch keeps its value unless the file sets it.
// A previous-version name that is not usable reads as "PrevSave".
void loadOptions(Options& options, const QString& folder);

// Normalises the dialog's values, stores them in `options` at once, and writes opts. False when
// the file could not be written (the options are stored all the same).
TextFile::WriteResult saveOptions(Options& options, const OptionsEntry& typed,
                                  const QString& folder);
