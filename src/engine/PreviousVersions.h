#pragma once
// The rotating previous versions of a destination copy. Inside the destination folder D, with
// the base name P and the file name N, D/P-1/N holds the newest previous version and D/P-k/N the
// k-th newest, up to the kept number. The old copy D/N is first put aside in a scratch folder
// D/P-1-S (more "-S" while that name is taken), so the rotation can run top-down while D/N
// stays as it is.

#include <QString>
#include <functional>

class FileSystem;

class PreviousVersions {
public:
    enum class Outcome {
        NoPrevious,  // no earlier copy to keep
        Stored,      // the earlier copy is now the newest previous version
        StoreFailed, // the first version folder could not be made; nothing was moved
        Aborted,     // the rotation failed part-way; versions not yet moved are still in place
    };

    // `between` runs between the chunks of each file copied (the event loop's turn).
    PreviousVersions(FileSystem& fso, const QString& baseName, int versions,
                     std::function<void()> between);

    Outcome store(const QString& destDir, const QString& fileName);

    // D/P-k for the version number k.
    QString versionFolder(const QString& destDir, int k) const;

private:
    QString makeScratchFolder(const QString& destDir) const;
    bool rotate(const QString& destDir, const QString& fileName);
    bool copy(const QString& source, const QString& target);

    FileSystem& m_fso;
    QString m_baseName;
    int m_versions;
    std::function<void()> m_between;
};
