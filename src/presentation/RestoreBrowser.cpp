#include "presentation/RestoreBrowser.h"

#include "platform/DateTimeText.h"
#include "platform/FilePickers.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"

#include <QDir>
#include <QHash>
#include <QLocale>
#include <algorithm>

namespace {

namespace T = RestoreWindowTexts;

constexpr qint64 msPerSecond = 1000;
constexpr qint64 secondsPerMinute = 60;
constexpr int percent = 100;

QString timeText(qint64 ns) {
    return DateTimeText::format(QDateTime::fromMSecsSinceEpoch(ns / nsPerMs));
}

QString sizeText(qint64 bytes) {
    return QLocale::system().formattedDataSize(bytes);
}

QString durationText(qint64 ms) {
    const qint64 seconds = (ms + msPerSecond - 1) / msPerSecond;
    return seconds < secondsPerMinute ? QStringLiteral("%1 s").arg(seconds)
                                      : QStringLiteral("%1 min %2 s")
                                            .arg(seconds / secondsPerMinute)
                                            .arg(seconds % secondsPerMinute);
}

// A disk known only by its UUID is told apart by the UUID's first digits.
QString diskText(const QString& volume) {
    constexpr qsizetype uuidShown = 13; // "UUID=" and eight digits
    return volume.startsWith(QLatin1String("UUID=")) && volume.size() > uuidShown
               ? volume.left(uuidShown) + QChar(0x2026)
               : volume;
}

QString whereText(const QString& volume, const QString& destination) {
    return volume.isEmpty()
               ? Paths::displayName(destination)
               : QStringLiteral("%1 (%2)").arg(volume, Paths::displayName(destination));
}

// Two names of one folder: equal, or equal by the platform's rule for paths (rarely asked).
bool sameName(QStringView a, QStringView b) {
    return a == b || Paths::samePath(a.toString(), b.toString());
}

bool onlyAlreadyThere(const RestoreSummary& summary) {
    return summary.refused.isEmpty() && !summary.failures.empty() &&
           std::all_of(summary.failures.begin(), summary.failures.end(),
                       [](const auto& f) { return f.reason == RestoreTexts::alreadyThere; });
}

} // namespace

RestoreBrowser::RestoreBrowser(BackupSet set, MessageBoxes& messages, FilePickers& pickers,
                               QObject* parent)
    : QObject(parent), m_set(std::move(set)), m_messages(messages), m_pickers(pickers) {
    connect(&m_service, &RestoreService::treeListed, this, &RestoreBrowser::onTree);
    connect(&m_service, &RestoreService::copiesListed, this, &RestoreBrowser::onCopies);
    connect(&m_service, &RestoreService::contentCompared, this, &RestoreBrowser::onCompared);
    connect(&m_service, &RestoreService::targetInspected, this, &RestoreBrowser::onTarget);
    connect(&m_service, &RestoreService::progressed, this, &RestoreBrowser::onProgress);
    connect(&m_service, &RestoreService::restored, this, &RestoreBrowser::onRestored);
    connect(&m_service, &RestoreService::extracted, this, &RestoreBrowser::onExtracted);
}

RestoreBrowser::~RestoreBrowser() = default;

void RestoreBrowser::start() {
    m_listing = true;
    m_treeJob = m_service.listTree(m_set);
}

void RestoreBrowser::onTree(quint64 job, const BackedUpTree& tree) {
    if (job != m_treeJob)
        return;
    m_listing = false;
    m_tree = tree;
    rebuildNodes();
}

void RestoreBrowser::setFilter(const QString& text) {
    m_filter = text.trimmed();
    rebuildNodes();
}

void RestoreBrowser::rebuildNodes() {
    const QString selectedPath =
        m_selected >= 0 ? m_nodes[size_t(m_selected)].sourcePath : QString();
    m_nodes.clear();
    m_fileOfNode.clear();
    m_nodes.reserve(m_tree.files.size());
    m_fileOfNode.reserve(m_tree.files.size());
    const QString top = m_set.association.Folder ? m_tree.folder : Paths::parent(m_tree.folder);
    const QString head = Paths::join(Paths::withoutTrailingSeparator(top), QStringLiteral("x"))
                             .chopped(1); // the top folder and one separator
    // The folders of the file before, outermost first, and their nodes. The files come sorted by
    // path, so a folder's files and sub-folders follow one another: once left, a folder never
    // comes back, and the chain alone finds every folder node. The parts are views into the
    // listed paths, so a file costs no copy of its folders' names.
    QList<QStringView> chain;
    std::vector<int> chainNodes;
    m_selected = -1;
    for (size_t i = 0; i < m_tree.files.size(); ++i) {
        const BackedUpFile& file = m_tree.files[i];
        if (!Paths::startsWith(file.sourcePath, head))
            continue;
        QList<QStringView> parts = QStringView(file.sourcePath)
                                       .mid(head.size())
                                       .split(Paths::separator(), Qt::SkipEmptyParts);
        if (parts.isEmpty())
            continue;
        QString name = Paths::displayName(parts.last().toString());
        if (!m_filter.isEmpty() && !name.contains(m_filter, Qt::CaseInsensitive))
            continue;
        const qsizetype folders = parts.size() - 1;
        qsizetype same = 0;
        while (same < folders && same < chain.size() && sameName(chain[same], parts[same]))
            ++same;
        chain.resize(same);
        chainNodes.resize(size_t(same));
        for (qsizetype f = same; f < folders; ++f) {
            const QString path = Paths::join(
                f == 0 ? top : m_nodes[size_t(chainNodes.back())].sourcePath, parts[f].toString());
            m_nodes.push_back({Paths::displayName(parts[f].toString()), path,
                               chainNodes.empty() ? -1 : chainNodes.back(), true, true});
            m_fileOfNode.push_back(-1);
            chain << parts[f];
            chainNodes.push_back(int(m_nodes.size() - 1));
            if (path == selectedPath)
                m_selected = chainNodes.back();
        }
        m_nodes.push_back({std::move(name), file.sourcePath,
                           chainNodes.empty() ? -1 : chainNodes.back(), false, file.inSource});
        m_fileOfNode.push_back(int(i));
        if (file.sourcePath == selectedPath)
            m_selected = int(m_nodes.size() - 1);
    }
    emit treeChanged();
}

QStringList RestoreBrowser::unpluggedTexts() const {
    QStringList texts;
    for (const UnpluggedDestination& d : m_tree.unplugged)
        texts << d.text();
    return texts;
}

std::vector<std::pair<QString, QString>> RestoreBrowser::destinationChoices() const {
    std::vector<std::pair<QString, QString>> choices{{QString(), T::best}};
    for (const clsDestination& d : m_set.destinations)
        choices.emplace_back(d.Path, whereText(d.Volume, d.Path));
    return choices;
}

void RestoreBrowser::select(int node) {
    m_selected = node >= 0 && node < int(m_nodes.size()) ? node : -1;
    m_rows.clear();
    m_copiesListed = false;
    m_compareJob = 0;
    if (m_selected >= 0 && !m_nodes[size_t(m_selected)].folder)
        m_copiesJob = m_service.listCopies(m_set, m_nodes[size_t(m_selected)].sourcePath);
    else
        m_copiesJob = 0;
    emit copiesChanged();
}

void RestoreBrowser::onCopies(quint64 job, const FileCopies& copies) {
    if (job != m_copiesJob)
        return;
    m_rows.clear();
    for (const KeptCopy& copy : copies.copies)
        m_rows.push_back({diskText(copy.volume), Paths::displayName(copy.destination),
                          copy.version == 0 ? T::current : T::version.arg(copy.version),
                          timeText(copy.stamp.modifiedNs), sizeText(copy.stamp.size),
                          copy.equalsSource ? T::sameAsSource : QString(), copy});
    m_tree.unplugged = copies.unplugged;
    m_copiesListed = true;
    emit copiesChanged();
}

const CopyRow* RestoreBrowser::rowAt(int row) const {
    return row >= 0 && row < int(m_rows.size()) ? &m_rows[size_t(row)] : nullptr;
}

void RestoreBrowser::compare(int row) {
    if (const CopyRow* r = rowAt(row)) {
        m_compareRow = row;
        m_compareJob = m_service.compareContent(r->copy, m_nodes[size_t(m_selected)].sourcePath);
    }
}

void RestoreBrowser::onCompared(quint64 job, bool same) {
    if (job != m_compareJob || !rowAt(m_compareRow))
        return;
    m_rows[size_t(m_compareRow)].same = same ? T::sameContent : T::otherContent;
    emit copiesChanged();
}

void RestoreBrowser::open(int row) {
    const CopyRow* r = rowAt(row);
    if (!r)
        return;
    if (!m_openFolder)
        m_openFolder = std::make_unique<QTemporaryDir>();
    // A folder of its own for each copy opened, so that it keeps its name, and its type with it.
    const QString folder = m_openFolder->filePath(QString::number(++m_opened));
    QDir().mkpath(folder);
    m_service.extract(m_set, r->copy, folder, Paths::fileName(r->copy.path));
}

void RestoreBrowser::onExtracted(quint64, const QString& path, const QString& error) {
    if (path.isEmpty()) {
        m_messages.ask(T::openFailed.arg(error), MessageBoxes::Icon::Exclamation,
                       MessageBoxes::Buttons::Ok);
        return;
    }
    if (openWithDesktop && !openWithDesktop(path))
        m_messages.ask(T::noProgram.arg(Paths::displayName(Paths::fileName(path))),
                       MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
}

void RestoreBrowser::showRowInFolder(int row) {
    if (const CopyRow* r = rowAt(row); r && showInFolder)
        showInFolder(r->copy.path);
}

void RestoreBrowser::restore(int row) {
    const CopyRow* r = rowAt(row);
    if (!r || restoring())
        return;
    const QString source = m_nodes[size_t(m_selected)].sourcePath;
    if (m_messages.ask(T::askRestore.arg(r->time, whereText(r->copy.volume, r->copy.destination),
                                         Paths::displayName(source)),
                       MessageBoxes::Icon::Question,
                       MessageBoxes::Buttons::YesNo) != MessageBoxes::Answer::Yes)
        return;
    runRestore(RestoreRun::toSource(m_set, source, r->copy));
}

void RestoreBrowser::restoreTo(int row) {
    const CopyRow* r = rowAt(row);
    if (!r || restoring())
        return;
    const QString source = m_nodes[size_t(m_selected)].sourcePath;
    const QString target = m_pickers.saveFile(T::pickTarget, Paths::fileName(source));
    if (target.isEmpty())
        return;
    runRestore(RestoreRun::toFile(m_set, source, r->copy, target, false));
}

QString RestoreBrowser::folderOfSelection() const {
    if (m_selected >= 0 && m_nodes[size_t(m_selected)].folder)
        return m_nodes[size_t(m_selected)].sourcePath;
    return m_tree.folder.isEmpty() ? m_set.sourceRoot() : m_tree.folder;
}

void RestoreBrowser::restoreFolder(const FolderChoice& choice) {
    if (restoring())
        return;
    const QString target = m_pickers.folder(T::pickFolder);
    if (target.isEmpty())
        return;
    m_folderChoice = choice;
    m_folderSource = folderOfSelection();
    m_targetFolder = target;
    m_targetJob = m_service.inspectTarget(m_set, target);
}

void RestoreBrowser::onTarget(quint64 job, const TargetState& state) {
    if (job != m_targetJob)
        return;
    m_targetJob = 0;
    if (state.insideBackup) {
        m_messages.ask(RestoreTexts::insideBackup.arg(Paths::displayName(m_targetFolder)),
                       MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
        return;
    }
    bool replace = false;
    if (state.exists && !state.empty) {
        switch (m_messages.askDefaultNo(T::askNotEmpty.arg(Paths::displayName(m_targetFolder)),
                                        MessageBoxes::Icon::Question,
                                        MessageBoxes::Buttons::YesNoCancel)) {
        case MessageBoxes::Answer::Yes:
            replace = true;
            break;
        case MessageBoxes::Answer::No:
            break;
        default:
            return;
        }
    }
    BackedUpTree below;
    below.folder = m_folderSource;
    for (const BackedUpFile& file : m_tree.files)
        if (Paths::isSameOrBelow(file.sourcePath, m_folderSource))
            below.files.push_back(file);
    CopyChoice copyChoice;
    if (m_folderChoice.asOf)
        copyChoice.asOfNs = m_folderChoice.asOf->toMSecsSinceEpoch() * nsPerMs;
    copyChoice.from = m_folderChoice.from;
    runRestore(RestoreRun::folderInto(m_set, below, copyChoice, m_targetFolder, replace));
}

void RestoreBrowser::runRestore(const RestoreRequest& request) {
    m_lastRequest = request;
    m_restoreJob = m_service.restore(request);
    emit restoreProgress(QString(), -1);
}

void RestoreBrowser::cancelRestore() {
    m_service.cancelAll();
}

void RestoreBrowser::onProgress(quint64 job, const RestoreProgress& p) {
    if (job != m_restoreJob)
        return;
    QString text =
        T::progress.arg(p.files).arg(p.totalFiles).arg(sizeText(p.bytes), sizeText(p.totalBytes));
    if (p.msLeft >= 0 && p.files < p.totalFiles)
        text += T::timeLeft.arg(durationText(p.msLeft));
    const int done = p.totalBytes > 0
                         ? int(p.bytes * percent / p.totalBytes)
                         : (p.totalFiles > 0 ? p.files * percent / p.totalFiles : percent);
    emit restoreProgress(text, done);
}

void RestoreBrowser::onRestored(quint64 job, const RestoreSummary& summary) {
    if (job != m_restoreJob)
        return;
    m_restoreJob = 0;
    emit restoreEnded();
    const RestoreRequest request = m_lastRequest;
    if (request.kind == RestoreRequest::Kind::ToFile && !request.replace &&
        onlyAlreadyThere(summary)) {
        const QString target =
            Paths::join(request.targetFolder, request.items[0].targetRelative[0]);
        if (m_messages.askDefaultNo(T::askReplace.arg(Paths::displayName(target)),
                                    MessageBoxes::Icon::Question,
                                    MessageBoxes::Buttons::YesNo) == MessageBoxes::Answer::Yes) {
            RestoreRequest again = request;
            again.replace = true;
            runRestore(again);
        }
        return;
    }
    const bool single = request.kind != RestoreRequest::Kind::Folder && summary.ok();
    m_messages.ask(single ? T::restoredTo.arg(Paths::displayName(Paths::join(
                                request.targetFolder, request.items[0].targetRelative.join('/'))))
                          : summary.text(),
                   summary.ok() ? MessageBoxes::Icon::Information : MessageBoxes::Icon::Exclamation,
                   MessageBoxes::Buttons::Ok);
    // What was kept before the restore is a copy of its own now.
    if (request.kind == RestoreRequest::Kind::ToSource)
        select(m_selected);
}
