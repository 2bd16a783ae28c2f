#pragma once
// Helpers for the store tests: file contents built line by line, as the program writes them.

#include <QByteArray>
#include <QStringList>

inline QByteArray crlfLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines)
        out += line.toUtf8() + "\r\n";
    return out;
}

// The 13 usrdatab lines of an enabled folder association; line 6 and line 9 given verbatim.
inline QStringList associationRecord(const QString& sourcePath, const QString& versions = "3",
                                     const QString& folderFlag = "1") {
    return {sourcePath, "USB",   "1/2/2026 10:00:00",
            "Never",    "Never", folderFlag,
            "1",        "1",     versions,
            "1",        "0",     "1",
            "1"};
}
