#pragma once
// The value lines shared by the store and preference files: Booleans as "1" and "0" (only "1"
// reads as true), numbers read by their leading numeric part.

#include <QString>
#include <optional>

namespace StoreLines {

QString flag(bool value);
bool isTrue(const QString& line);

// The number that `line` begins with (after blanks: sign, digits, fraction, exponent), 0 when it
// begins with none; nullopt when that number is too large for a double.
std::optional<double> leadingNumber(const QString& line);

// `text` without the spaces (only U+0020) at its start and end.
QString trimSpaces(const QString& text);

// `value` rounded half to even; nullopt when the result does not fit 16 bits.
std::optional<qint16> toInt16(double value);

} // namespace StoreLines
