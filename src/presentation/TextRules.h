#pragma once
// What the editing dialogs accept as typed or pasted text. The widgets check the whole text on
// every change with these, so a paste cannot bring in what a key filter would have discarded.

#include <QString>

namespace TextRules {

// The longest volume name the volume editors accept.
constexpr int maxVolumeNameLength = 32;
// "UUID=" and a UUID: how a drive without a label is named.
constexpr int maxVolumeFieldLength = 41;
// The keep-versions box holds at most two digits.
constexpr int maxVersionsDigits = 2;

// A volume name: at most 32 characters (a "UUID=" name 41), none of them NUL, a line break or
// another control character (the store keeps one value per line and separates names with NUL).
bool isVolumeName(const QString& text);

// Digits only, at most two of them (empty while the user is typing).
bool isVersionsText(const QString& text);

// A path that the line-based store files can hold: no NUL, no line break, no control character.
bool isStorablePath(const QString& path);

} // namespace TextRules
