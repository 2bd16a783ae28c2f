#pragma once
// Schemes: named copies of the two association store files in the scheme folder
// ($XDG_CONFIG_HOME/Quillmot/sch). A scheme named "work.sch" is the file work.sch (a copy of
// usrdatab) and its twin work.sch.dst (a copy of usrdatad). Scheme files always lie directly in
// the scheme folder, whatever name was typed or pasted.

#include <QString>
#include <QStringList>

namespace SchemeFiles {

inline const QString folderName = QStringLiteral("sch");
inline const QString extension = QStringLiteral(".sch");
inline const QString destinationsSuffix = QStringLiteral(".dst");

QString folderIn(const QString& appDataFolder);

// Makes the scheme folder when it is missing; false when it is not a folder that can be listed.
bool prepareFolder(const QString& schemeFolder);

// The scheme file names (regular files ending in ".sch"), sorted ignoring letter case.
QStringList list(const QString& schemeFolder);

// The characters a scheme name can never hold, as on the platforms the schemes travel to.
bool isRefusedNameCharacter(QChar c);

enum class NameCheck { Usable, Empty, Unusable };
// The scheme file name for a typed name: trimmed, ".sch" added unless it ends so already.
QString fileNameFor(const QString& typed);
// Empty, or a name that could leave the scheme folder or hide from the list (a separator, a
// leading dot, a refused or control character) is not usable.
NameCheck check(const QString& fileName);
// A scheme's name as shown for typing: its file name without the trailing ".sch".
QString typedNameOf(const QString& fileName);

// Copies the two store files of `appDataFolder` into the scheme `fileName`, replacing it whole.
// `why` receives the reason a write failed.
bool save(const QString& appDataFolder, const QString& schemeFolder, const QString& fileName,
          QString* why = nullptr);

enum class LoadResult {
    Loaded,
    Missing,    // a file of the pair is missing or unreadable: nothing was touched
    NotAScheme, // its associations file holds data but no association the store reads
    WriteFailed // the store files could not be replaced: they are as they were
};
// Replaces both store files with the scheme's pair as one change; `why` receives the reason a
// write failed.
LoadResult load(const QString& appDataFolder, const QString& schemeFolder, const QString& fileName,
                QString* why = nullptr);

// Deletes the scheme's two files; false when one of them stayed.
bool remove(const QString& schemeFolder, const QString& fileName);

} // namespace SchemeFiles
