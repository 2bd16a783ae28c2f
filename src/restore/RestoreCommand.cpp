#include "restore/RestoreCommand.h"

#include "model/Collections.h"
#include "persistence/AssociationStore.h"
#include "persistence/Options.h"
#include "platform/AppData.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "restore/RestoreRun.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <memory>
#include <optional>

namespace {

constexpr int exitOk = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

const QString asOfFormat = QStringLiteral("yyyy-MM-dd HH:mm");
const QString timeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString yes = QStringLiteral("yes");
const QString no = QStringLiteral("no");

const QString usageText = QStringLiteral(
    "  versions list every kept copy of the file PATH, one line each, tab-separated:\n"
    "           destination, version (0 = the current copy), time, size in bytes, and yes\n"
    "           when it equals the file as it is now\n"
    "  restore  bring back the file or folder PATH: the newest copy, version N, or the\n"
    "           newest copy no newer than the time given; from the destination or volume\n"
    "           VOLUME, or from the best one. A file goes back to its place (the file as it\n"
    "           is now is backed up first) or into DIR; a folder's files go into DIR.\n"
    "           Nothing already in DIR is replaced. Exit code 0 when everything asked for\n"
    "           was restored, 1 when something was not, 2 for a command line not understood\n");

void print(FILE* to, const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

QString shown(const QString& path) {
    return Paths::displayName(path);
}

QString absolute(const QString& path) {
    const QString full = Paths::isAbsolute(path) ? path : Paths::join(QDir::currentPath(), path);
    return Paths::withoutTrailingSeparator(QDir::cleanPath(full));
}

// What the command line asked for.
struct Request {
    QString word;
    QString path;
    CopyChoice choice;
    std::optional<QString> to;
};

// Fills `request` from the arguments; empty, or why they cannot be taken.
QString parse(int argc, char** argv, Request& request) {
    request.word = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const bool hasValue = i + 1 < argc;
        const auto value = [&] { return QString::fromLocal8Bit(argv[++i]); };
        if (request.word == RestoreCommand::restoreWord && hasValue) {
            if (arg == QLatin1String("--version")) {
                bool ok = false;
                const int n = value().toInt(&ok);
                if (!ok || n < 0)
                    return QStringLiteral("--version takes a number: 0 for the current copy");
                request.choice.version = n;
                continue;
            }
            if (arg == QLatin1String("--as-of")) {
                const QDateTime when = QDateTime::fromString(value(), asOfFormat);
                if (!when.isValid())
                    return QStringLiteral("--as-of takes a time written \"YYYY-MM-DD HH:MM\"");
                request.choice.asOfNs = when.toMSecsSinceEpoch() * nsPerMs;
                continue;
            }
            if (arg == QLatin1String("--from")) {
                request.choice.from = value();
                continue;
            }
            if (arg == QLatin1String("--to")) {
                request.to = absolute(Paths::fromNative(argv[++i]));
                continue;
            }
        }
        if (arg.startsWith(QLatin1String("--")) || !request.path.isEmpty())
            return QStringLiteral("%1 is not understood here").arg(arg);
        request.path = absolute(Paths::fromNative(argv[i]));
    }
    if (request.path.isEmpty())
        return QStringLiteral("PATH is missing");
    if (request.choice.version && request.choice.asOfNs)
        return QStringLiteral("--version and --as-of cannot be given together");
    return {};
}

// The associations and destinations as the program stored them.
class Store {
public:
    Store() {
        const QString folder = AppData::folder();
        loadOptions(m_options, folder);
        loadAssociations(m_backups, m_destinations, folder, [](const QString&, bool) {});
        loadDestinations(*m_destinations, folder);
    }

    // The association that backs up `path` (the one with the deepest source where several do).
    std::shared_ptr<clsBackup> holderOf(const QString& path) const {
        std::shared_ptr<clsBackup> best;
        for (const auto& a : m_backups) {
            const QString source = Paths::withoutTrailingSeparator(a->SourcePath);
            const bool holds = a->Folder ? Paths::isSameOrBelow(path, source) &&
                                               (a->Recursive || Paths::samePath(path, source) ||
                                                Paths::isDirectlyIn(path, source))
                                         : Paths::samePath(path, source);
            if (holds && (!best || best->SourcePath.size() < a->SourcePath.size()))
                best = a;
        }
        return best;
    }
    BackupSet setOf(const clsBackup& association) const {
        return BackupSet::of(association, m_backups, *m_destinations,
                             usablePrevSaveName(m_options.PrevSaveName));
    }

private:
    Options m_options;
    std::shared_ptr<colDestinations> m_destinations = std::make_shared<colDestinations>();
    colBackups m_backups{m_destinations};
};

void printUnplugged(FILE* err, const std::vector<UnpluggedDestination>& unplugged) {
    for (const UnpluggedDestination& d : unplugged)
        print(err, QStringLiteral("%1: %2").arg(shown(d.destination), d.text()));
}

QString timeText(qint64 ns) {
    return QDateTime::fromMSecsSinceEpoch(ns / nsPerMs).toString(timeFormat);
}

int listVersions(FileSystem& fso, const BackupSet& set, const Request& request, FILE* out,
                 FILE* err) {
    const FileCopies found = RestoreCatalog::copiesOf(fso, set, request.path);
    for (const KeptCopy& copy : found.copies)
        print(out, QStringList{shown(copy.destination), QString::number(copy.version),
                               timeText(copy.stamp.modifiedNs), QString::number(copy.stamp.size),
                               copy.equalsSource ? yes : no}
                       .join(QLatin1Char('\t')));
    printUnplugged(err, found.unplugged);
    if (found.copies.empty()) {
        print(err, QStringLiteral("No copies of %1 were found.").arg(shown(request.path)));
        return exitFailed;
    }
    return exitOk;
}

int finish(const RestoreSummary& summary, FILE* out, FILE* err) {
    print(summary.ok() ? out : err, summary.text());
    return summary.ok() ? exitOk : exitFailed;
}

int restore(FileSystem& fso, const BackupSet& set, const Request& request, FILE* out, FILE* err) {
    const FileCopies file = RestoreCatalog::copiesOf(fso, set, request.path);
    if (!file.copies.empty()) {
        const KeptCopy* copy = RestoreCatalog::choose(file.copies, request.choice);
        if (!copy) {
            printUnplugged(err, file.unplugged);
            print(err, QStringLiteral("No copy of %1 fits the version, time or destination "
                                      "given.")
                           .arg(shown(request.path)));
            return exitFailed;
        }
        const RestoreRequest job =
            request.to
                ? RestoreRun::toFile(set, request.path, *copy,
                                     Paths::join(*request.to, Paths::fileName(request.path)), false)
                : RestoreRun::toSource(set, request.path, *copy);
        return finish(RestoreRun::run(fso, job), out, err);
    }
    const BackedUpTree tree = RestoreCatalog::treeOf(fso, set, request.path);
    printUnplugged(err, tree.unplugged);
    if (tree.files.empty()) {
        print(err, QStringLiteral("No copies of %1 were found.").arg(shown(request.path)));
        return exitFailed;
    }
    if (!request.to) {
        print(err, QStringLiteral("%1 is a folder: give the folder to restore its files into "
                                  "with --to DIR.")
                       .arg(shown(request.path)));
        return exitUsage;
    }
    if (!fso.FolderExists(*request.to) && !QDir().mkpath(*request.to)) {
        print(err, QStringLiteral("The folder %1 cannot be made.").arg(shown(*request.to)));
        return exitFailed;
    }
    return finish(
        RestoreRun::run(fso, RestoreRun::folderInto(set, tree, request.choice, *request.to, false)),
        out, err);
}

} // namespace

namespace RestoreCommand {

bool handles(const QString& word) {
    return word == versionsWord || word == restoreWord;
}

QString usage() {
    return usageText;
}

int run(int argc, char** argv, FILE* out, FILE* err) {
    if (argc < 2 || !handles(QString::fromLocal8Bit(argv[1])))
        return exitUsage;
    // Volume names may be read over D-Bus, which wants an application object.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);
    Request request;
    if (const QString problem = parse(argc, argv, request); !problem.isEmpty()) {
        print(err, problem);
        print(err, QStringLiteral("Usage: quillmot versions PATH\n"
                                  "       quillmot restore PATH [--version N] [--as-of "
                                  "\"YYYY-MM-DD HH:MM\"] [--from VOLUME] [--to DIR]"));
        return exitUsage;
    }
    FileSystem fso;
    const Store store;
    const std::shared_ptr<clsBackup> association = store.holderOf(request.path);
    if (!association) {
        print(err, QStringLiteral("%1 is not backed up: no association holds it.")
                       .arg(shown(request.path)));
        return exitFailed;
    }
    const BackupSet set = store.setOf(*association);
    return request.word == versionsWord ? listVersions(fso, set, request, out, err)
                                        : restore(fso, set, request, out, err);
}

} // namespace RestoreCommand
