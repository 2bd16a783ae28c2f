#pragma once
// Where the copy and the kept versions of a source file live in one destination, and what of
// them is there now. The copy engine places copies by these rules and the catch-up compares by
// them, so anything that lists or restores backups finds exactly what was made.
//
// The destination folder D receives a mirror of the source: the top folder T = D/<name of the
// association's folder> (of the file's own folder for a file association; a mount point's last
// component, "root" for "/"), then the file's folders below it. In each mirrored folder M, M/N is
// the copy of the source file N and M/<P>-k/N its k-th newest previous version, P being the
// version folders' base name. An entry of the source whose name a version folder could have
// ("<P>-<k>" followed by any number of "~") takes one "~" more in the mirror, so a plain
// "<P>-<k>" in a mirror is always a version folder and every mirrored name maps back to one
// source name. Ordinary names keep their places.
//
// A layout is a plain value that reads nothing shared: any thread may use it. Its looks at the
// disk never follow a link below the destination folder.

#include "platform/FileSystem.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class clsBackup;

// Where one source file's copy, or one source folder's mirror, goes in one destination.
struct Placement {
    QString destPath; // the destination folder the user chose
    QString destDir;  // the mirrored folder below it (that receives the copy)
    // The names of the mirrored levels from destPath down to destDir, and the source folder
    // behind each, outermost first: a folder made there takes that folder's access.
    QStringList names;
    QStringList sourceFolders;
    QString copyName; // the copy's name in destDir and in each version folder (files only)
    // The source entries (folders, then the file) whose names take a "~" more in the mirror.
    QStringList renamed;

    QString copyPath() const;
};

// One copy of a source file found in a destination.
struct FoundCopy {
    int version = 0;   // 0: the current copy; k: the k-th newest previous version
    QString path;      // where it lies
    FolderEntry entry; // what it is (a file, or a link backed up as a link), its size and time
};

// Every copy of one source file found in a destination: the current one first, then the
// versions by number.
struct FoundFile {
    QString sourcePath;
    std::vector<FoundCopy> copies;
};

class BackupLayout {
public:
    // `sourceRoot`: the association's source path; `versionBase`: the version folders' base name
    // (the usable PrevSaveName).
    BackupLayout(const QString& sourceRoot, bool folderAssociation, const QString& versionBase);
    static BackupLayout of(const clsBackup& association, const QString& prevSaveName);

    // --- names in a mirrored folder
    static QString versionFolderName(const QString& base, int k);
    // k when `mirroredName` names the k-th version folder, else 0.
    int versionNumberOf(const QString& mirroredName) const;
    QString mirroredName(const QString& sourceName) const;
    // The source name behind a mirrored name; nullopt for a version folder's name.
    std::optional<QString> sourceNameOf(const QString& mirroredName) const;
    // False when no name in `path` can be taken for a version folder's, so that nothing on the
    // way to it is renamed: one look along the text instead of splitting it into its names.
    bool mayRenameOnTheWayTo(const QString& path) const;

    // --- places
    // The source folder that the top mirrored folder stands for.
    QString topSourceFolder() const;
    Placement placeFile(const QString& destPath, const QString& sourceFile) const;
    // The mirror of `sourceFolder` (the top folder or one below it).
    Placement mirrorOf(const QString& destPath, const QString& sourceFolder) const;
    QString mirroredFolderOf(const QString& destPath, const QString& sourceFolder) const;
    QString versionPath(const QString& destPath, const QString& sourceFile, int k) const;

    // --- what is there
    // The current copy of `sourceFile` and each version folder that holds one, whatever number
    // of versions is kept now.
    FoundFile findFile(const FileSystem& fso, const QString& destPath,
                       const QString& sourceFile) const;
    // Every file backed up below the mirror of `sourceFolder`, copies and versions together,
    // files no longer in the source too; sorted by source path.
    std::vector<FoundFile> findBelow(const FileSystem& fso, const QString& destPath,
                                     const QString& sourceFolder) const;
    // Everything of the association: its one file, or all below its folder.
    std::vector<FoundFile> findAll(const FileSystem& fso, const QString& destPath) const;

private:
    // The version number in `name` and the number of "~" after it; 0 when it has none.
    int versionLike(const QString& name, qsizetype& tildes) const;

    QString m_sourceRoot;
    bool m_folderAssociation;
    QString m_versionBase;
};
