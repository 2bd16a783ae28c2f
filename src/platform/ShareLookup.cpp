#include "platform/ShareLookup.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <optional>

namespace {

const char* const sharesRootVariable = "QUILLMOT_SHARES_ROOT";
const QString sambaConfig = QStringLiteral("/etc/samba/smb.conf");
const QString defaultUsershareDir = QStringLiteral("/var/lib/samba/usershares");
// Includes nest rarely; the limit only stops a file that includes itself through others.
constexpr int maxIncludeDepth = 10;

// A configured location, moved under the fixture root when tests set one.
QString configLocation(const QString& path) {
    const QString root = qEnvironmentVariable(sharesRootVariable);
    if (root.isEmpty() || !path.startsWith(Paths::separator()))
        return path;
    return Paths::withoutTrailingSeparator(root) + path;
}

QString cleanFolder(const QString& path) {
    return Paths::withoutTrailingSeparator(QDir::cleanPath(path));
}

bool isYes(const QString& value) {
    const QString v = value.trimmed().toLower();
    return v == u"yes" || v == u"true" || v == u"1" || v == u"on";
}

// smb.conf as Samba reads it: sections, "key = value" with keys ignoring case and blanks, "#" and
// ";" comments, "\" continuing a line, and include lines read in place.
class SambaConfigReader {
public:
    QList<LocalShare> shares;
    QString usershareDir = defaultUsershareDir;

    void readFile(const QString& location, int depth) {
        const QString file = QFileInfo(location).absoluteFilePath();
        if (depth > maxIncludeDepth || m_reading.contains(file))
            return;
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return;
        m_reading.insert(file);
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        QString pending;
        for (QString line : lines) {
            line = line.trimmed();
            if (line.endsWith(QLatin1Char('\\'))) {
                pending += line.chopped(1).trimmed() + QLatin1Char(' ');
                continue;
            }
            line = pending + line;
            pending.clear();
            readLine(line, QFileInfo(file).absolutePath(), depth);
        }
        m_reading.remove(file);
    }

    void finish() {
        for (const Section& s : std::as_const(m_sections)) {
            if (s.hidden || s.share.path.isEmpty())
                continue;
            shares.append(s.share);
        }
    }

private:
    struct Section {
        LocalShare share;
        bool hidden = false; // "available = no"
    };

    void readLine(const QString& line, const QString& folder, int depth) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            return;
        if (line.startsWith(QLatin1Char('[')) && line.contains(QLatin1Char(']'))) {
            startSection(line.mid(1, line.indexOf(QLatin1Char(']')) - 1).trimmed());
            return;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            return;
        QString key = line.left(eq).toLower();
        key.remove(QLatin1Char(' '));
        key.remove(QLatin1Char('\t'));
        const QString value = line.mid(eq + 1).trimmed();
        if (key == u"include") {
            // Macros such as %m name other clients' files; they cannot be resolved here.
            if (!value.contains(QLatin1Char('%')))
                readFile(QDir(folder).absoluteFilePath(configLocation(value)), depth + 1);
            return;
        }
        if (m_current < 0) {
            if (key == u"usersharepath" && !value.isEmpty())
                usershareDir = value;
            return;
        }
        Section& s = m_sections[m_current];
        if (key == u"path" || key == u"directory")
            s.share.path = value.isEmpty() ? QString() : cleanFolder(value);
        else if (key == u"comment")
            s.share.comment = value;
        else if (key == u"printable" || key == u"printok")
            s.share.printable = isYes(value);
        else if (key == u"maxconnections")
            s.share.maxConnections = value.toInt();
        else if (key == u"available")
            s.hidden = !isYes(value);
    }

    void startSection(const QString& name) {
        // [global] holds settings; [homes] and [printers] stand for many shares made on demand.
        const QString lower = name.toLower();
        if (lower == u"global" || lower == u"homes" || lower == u"printers") {
            m_current = lower == u"global" ? -1 : -2;
            return;
        }
        // A section named again continues the earlier one, as in Samba.
        for (qsizetype i = 0; i < m_sections.size(); ++i) {
            if (m_sections[i].share.name.compare(name, Qt::CaseInsensitive) == 0) {
                m_current = i;
                return;
            }
        }
        Section s;
        s.share.name = name;
        m_sections.append(s);
        m_current = m_sections.size() - 1;
    }

    QList<Section> m_sections;
    qsizetype m_current = -1; // -1: global settings, -2: a section that is not a share
    QSet<QString> m_reading;
};

// One usershare file: "key=value" lines, "sharename" keeping the name's letter case.
std::optional<LocalShare> readUsershare(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    LocalShare share;
    share.name = QFileInfo(file).fileName();
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('#')) || eq < 0)
            continue;
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == u"path")
            share.path = value.isEmpty() ? QString() : cleanFolder(value);
        else if (key == u"comment")
            share.comment = value;
        else if (key == u"sharename" && !value.isEmpty())
            share.name = value;
    }
    if (share.path.isEmpty())
        return std::nullopt;
    return share;
}

// The rest of `path` below `folder` (which holds it component-wise), with its leading separator.
QString restBelow(const QString& path, const QString& folder) {
    if (Paths::isRoot(folder))
        return Paths::isRoot(path) ? QString() : path;
    return path.mid(folder.size());
}

bool isThisComputer(const QString& computer, const QString& computerName) {
    return computer.isEmpty() || computer.compare(computerName, Qt::CaseInsensitive) == 0 ||
           computer.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0;
}

} // namespace

QList<LocalShare> readLocalShares() {
    SambaConfigReader reader;
    reader.readFile(configLocation(sambaConfig), 0);
    reader.finish();
    QList<LocalShare> shares = reader.shares;
    const QDir usershares(configLocation(reader.usershareDir));
    const QStringList files = usershares.entryList(QDir::Files, QDir::Name);
    for (const QString& name : files) {
        if (auto share = readUsershare(usershares.filePath(name)))
            shares.append(*share);
    }
    return shares;
}

QString GetComputerFromPath(const QString& networkPath) {
    if (!Paths::isNetworkName(networkPath))
        return {};
    return Paths::withoutNetworkPrefix(networkPath).section(Paths::separator(), 0, 0);
}

QString GetUNCName(const QString& path, const QString& computerName) {
    return GetUNCName(path, computerName, MountTable::current(), readLocalShares());
}

QString GetUNCName(const QString& path, const QString& computerName, const MountTable& mounts,
                   const QList<LocalShare>& shares) {
    if (Paths::isNetworkName(path) || !path.startsWith(Paths::separator()))
        return path;
    const QString clean = cleanFolder(path);
    const std::optional<MountEntry> mount = mounts.mountOf(clean);
    if (mount && isNetworkFsType(mount->fsType)) {
        const QString form = networkFormOfSource(mount->source);
        if (!form.isEmpty())
            return form + restBelow(clean, mount->mountPoint);
    }

    // The share of exactly this folder wins, then the deepest share that holds the path: a user
    // who shares a folder and also its parent expects the folder's own name.
    const LocalShare* best = nullptr;
    for (const LocalShare& share : shares) {
        if (share.printable || !Paths::isSameOrBelow(clean, share.path))
            continue;
        if (Paths::samePath(share.path, clean))
            return Paths::join(Paths::networkPrefix() + computerName, share.name);
        if (!best || share.path.size() > best->path.size())
            best = &share;
    }
    if (best)
        return Paths::join(Paths::networkPrefix() + computerName, best->name) +
               restBelow(clean, best->path);
    return path;
}

QString GetShareLocalPath(const QString& networkPath, const QString& computerName) {
    return GetShareLocalPath(networkPath, computerName, readLocalShares());
}

QString GetShareLocalPath(const QString& networkPath, const QString& computerName,
                          const QList<LocalShare>& shares) {
    CprgNetShareGetInfoNT info;
    info.GetInfo(networkPath, computerName, shares);
    if (info.strPath.isEmpty())
        return {};
    // The rest after //computer/share, with its separator.
    QString rest = Paths::withoutNetworkPrefix(networkPath);
    const qsizetype afterComputer = rest.indexOf(Paths::separator());
    rest = afterComputer < 0 ? QString() : rest.mid(afterComputer + 1);
    const qsizetype afterShare = rest.indexOf(Paths::separator());
    rest = afterShare < 0 ? QString() : rest.mid(afterShare);
    rest = Paths::withoutTrailingSeparator(rest);
    if (Paths::isRoot(info.strPath))
        return rest.isEmpty() ? info.strPath : rest;
    return info.strPath + (rest == Paths::separator() ? QString() : rest);
}

void CprgNetShareGetInfoNT::Initialize() {
    *this = CprgNetShareGetInfoNT();
}

QString CprgNetShareGetInfoNT::typeText(quint32 type) {
    switch (type) {
    case 0:
        return QStringLiteral("Disk Drive");
    case 1:
        return QStringLiteral("Print Queue");
    case 2:
        return QStringLiteral("Communication device");
    case 3:
        return QStringLiteral("Interprocess communication (IPC)");
    case specialShare:
        return QStringLiteral("Special share");
    default:
        return QStringLiteral("Error: Unknown");
    }
}

QString CprgNetShareGetInfoNT::errorText(qint32 status) {
    switch (status) {
    case 5:
        return QStringLiteral("NetShareGetInfo: ERROR_ACCESS_DENIED");
    case 8:
        return QStringLiteral("NetShareGetInfo: ERROR_NOT_ENOUGH_MEMORY");
    case 87:
        return QStringLiteral("NetShareGetInfo: ERROR_INVALID_PARAMETER");
    case 123:
        return QStringLiteral("NetShareGetInfo: ERROR_INVALID_NAME");
    case 124:
        return QStringLiteral("NetShareGetInfo: ERROR_INVALID_LEVEL");
    case 234:
        return QStringLiteral("NetShareGetInfo: ERROR_MORE_DATA");
    case statusNotFound:
        return QStringLiteral("NetShareGetInfo: NERR_NetNameNotFound");
    default:
        return QStringLiteral("NetShareGetInfo: Unknown ") + QString::number(status);
    }
}

qint32 CprgNetShareGetInfoNT::fail(qint32 status, const QString& text) {
    NET_API_STATUS = status;
    nLastError = status;
    strLastError = text;
    return status;
}

qint32 CprgNetShareGetInfoNT::GetInfo(const QString& path, const QString& computerName,
                                      const QList<LocalShare>& shares) {
    Initialize();
    QString p = path;
    while (p.startsWith(QLatin1Char(' ')))
        p.remove(0, 1);
    QString computer, remainder = p;
    if (Paths::isNetworkName(p)) {
        const QString afterPrefix = Paths::withoutNetworkPrefix(p);
        const qsizetype end = afterPrefix.indexOf(Paths::separator());
        if (end < 0)
            return fail(statusInvalidName, QStringLiteral("Need share name not server name."));
        computer = afterPrefix.left(end);
        remainder = afterPrefix.mid(end + 1);
    }
    if (remainder.startsWith(Paths::separator()))
        remainder.remove(0, 1);
    const QString shareName = remainder.section(Paths::separator(), 0, 0);
    if (shareName.isEmpty())
        return fail(statusInvalidName, QStringLiteral("Need share name not server name."));
    if (shareName.contains(QLatin1Char(':')))
        return fail(statusInvalidName, QStringLiteral("Drive letter specified for share name."));
    if (!isThisComputer(computer, computerName)) {
        // Another computer's shares cannot be listed from here.
        strServer = Paths::networkPrefix() + computer;
        return fail(statusNotFound, errorText(statusNotFound));
    }
    for (const LocalShare& share : shares) {
        if (share.name.compare(shareName, Qt::CaseInsensitive) != 0)
            continue;
        strNetName = share.name;
        nType = share.printable ? 1 : 0;
        strType = typeText(nType);
        strRemark = share.comment;
        nMax_uses = share.maxConnections;
        strPath = share.path;
        return 0;
    }
    return fail(statusNotFound, errorText(statusNotFound));
}
