#pragma once
// The two forms of a path that the adding and properties commands convert between: a local path
// (or one on a network mount) and the network form //computer/share/rest. This computer's shares
// are the Samba shares of smb.conf (with its includes) and the usershares; shares of another
// computer cannot be read and are "not found".
//
// QUILLMOT_SHARES_ROOT, when set, is put in front of the fixed configuration locations
// (/etc/samba/smb.conf, /var/lib/samba/usershares), so tests read fixtures instead.

#include "platform/MountTable.h"

#include <QList>
#include <QString>

struct LocalShare {
    QString name;
    QString path; // local folder, without a trailing separator unless it is the root
    QString comment;
    int maxConnections = 0;
    bool printable = false;
};

// The shares this computer serves, in configuration order (smb.conf first, then usershares).
// A missing or unreadable configuration gives none.
QList<LocalShare> readLocalShares();

// The part of a network path between the leading "//" and the next separator.
QString GetComputerFromPath(const QString& networkPath);

// The network form of `path`: on a network mount, the mount's source followed by the rest of the
// path; inside a folder this computer shares, //<computerName>/<share>/rest; else `path`.
QString GetUNCName(const QString& path, const QString& computerName);
QString GetUNCName(const QString& path, const QString& computerName, const MountTable& mounts,
                   const QList<LocalShare>& shares);

// The local path behind //computer/share/rest on the serving computer, or empty when the share
// cannot be read (another computer, an unknown share).
QString GetShareLocalPath(const QString& networkPath, const QString& computerName);
QString GetShareLocalPath(const QString& networkPath, const QString& computerName,
                          const QList<LocalShare>& shares);

// One share's properties as last read.
class CprgNetShareGetInfoNT {
public:
    static constexpr qint32 statusNotFound = 2310; // NERR_NetNameNotFound
    static constexpr qint32 statusInvalidName = 123;
    static constexpr quint32 specialShare = 0x80000000u;

    qint32 NET_API_STATUS = 0;
    QString strLastError;
    qint32 nLastError = 0;
    QString strPath;
    qint32 nMax_uses = 0;
    qint32 nCurrent_uses = 0;
    QString strRemark;
    quint32 nType = 0;
    QString strType;
    QString strNetName;
    QString strServer;

    void Initialize();
    // Reads the share named in `path` ("//computer/share/rest" or "share/rest") among `shares`,
    // served by the computer `computerName`.
    qint32 GetInfo(const QString& path, const QString& computerName,
                   const QList<LocalShare>& shares);
    qint32 GetInfo(const QString& path, const QString& computerName) {
        return GetInfo(path, computerName, readLocalShares());
    }

    static QString typeText(quint32 type);
    static QString errorText(qint32 status);

private:
    qint32 fail(qint32 status, const QString& text);
};
