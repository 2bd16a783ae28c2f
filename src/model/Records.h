#pragma once
// The association model's records: plain value holders.

#include <QString>
#include <memory>

class colDestinations;

// Shown where a value does not apply: the volume and destination of a log entry that names no
// copy, the scheme name when no scheme was loaded or saved.
inline const QString notApplicable = QStringLiteral("<n/a>");

// One association: a source file, folder or drive and its switches.
class clsBackup {
public:
    bool CopyHidden = false;
    qint16 Versions = 0;
    bool KeepBackup = false;
    QString DateLastActivity;
    QString DateLastModified;
    bool Enabled = false;
    bool NotifyOnSuccess = false;
    bool NotifyOnError = false;
    QString Volume; // accepted source volume names, NUL-separated (see VolumeList)
    QString DateCreated;
    bool Recursive = false;
    bool Folder = false;
    QString SourcePath;

    // The destination collection; an association created without one gets a new empty
    // collection on first read, and the same one afterwards.
    std::shared_ptr<::colDestinations> colDestinations();
    void setDestinations(std::shared_ptr<::colDestinations> destinations) {
        m_destinations = std::move(destinations);
    }
    // The collection given with setDestinations, without making one.
    const std::shared_ptr<::colDestinations>& sharedDestinations() const { return m_destinations; }

private:
    std::shared_ptr<::colDestinations> m_destinations;
};

// A new association as the Add command makes it: enabled, noticed on success and on failure, one
// previous version kept, not recursive, never modified nor active yet.
clsBackup newAssociation(const QString& sourcePath, bool folder, const QString& volume,
                         const QString& dateCreated,
                         std::shared_ptr<::colDestinations> destinations);

// One destination folder of one association, tied to it by `Source`.
class clsDestination {
public:
    QString Volume; // volume name the destination drive must carry
    QString Source; // SourcePath of the owning association
    QString Path;   // destination folder
};

// One queued notification.
class clsNotifier {
public:
    QString Message;
    QString Destination; // the folder the file goes to
    QString Source;
    // The destination as the user gave it, and the volume its disk must carry: two destinations
    // of one file end in the same folders, and these tell them apart.
    QString DestFolder;
    QString DestVolume;
};

// One recent-activity entry.
class clsRecent {
public:
    QString Message;
    QString DestVolume;
    QString DestPath;
    QString SourceVolume;
    QString SourcePath;
    QString DateAndTime;
};
