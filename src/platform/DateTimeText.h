#pragma once
// The date-time text stored in the model and the store files: the system locale's short date,
// one space, the time with seconds. The engine parses its own texts back for the change test,
// so the format always carries a four-digit year and seconds and parses back exactly.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace DateTimeText {

inline const QString never = QStringLiteral("Never");

// Text of `when` in `locale` (the system locale by default), to the second.
QString format(const QDateTime& when, const QLocale& locale = QLocale::system());

// The exact inverse of format(); nullopt for "Never", empty or foreign text.
std::optional<QDateTime> parse(const QString& text, const QLocale& locale = QLocale::system());

} // namespace DateTimeText
