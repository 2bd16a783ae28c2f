#include "engine/BackupOwners.h"

#include "engine/BackupLayout.h"
#include "model/Collections.h"
#include "platform/Paths.h"

#include <QHash>
#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <set>

namespace BackupOwners {

namespace {

// What one association writes in one destination: a folder association the whole tree below its
// top mirrored folder, a file association its copy's name there (and in the version folders).
struct Claim {
    qsizetype member = 0;
    QString destination;
    QString top;       // the top mirrored folder
    QString topSource; // the source folder it stands for
    bool tree = false;
    QString copyName; // a file association's
};

BackupLayout layoutOf(const Snapshot& snapshot, qsizetype index) {
    const Member& m = snapshot.members[size_t(index)];
    return BackupLayout(m.source, m.folder, snapshot.versionBase);
}

// Top mirrored folders by destination and source folder, for claims made in one go.
using Tops = QHash<QString, QString>;

Claim claimOf(const Snapshot& snapshot, qsizetype index, const QString& destination,
              Tops* tops = nullptr) {
    const Member& m = snapshot.members[size_t(index)];
    const BackupLayout layout = layoutOf(snapshot, index);
    Claim c;
    c.member = index;
    c.destination = destination;
    c.topSource = layout.topSourceFolder();
    if (tops) {
        const QString key = destination + QChar(0) + c.topSource;
        auto top = tops->constFind(key);
        if (top == tops->cend())
            top = tops->insert(key, layout.mirroredFolderOf(destination, c.topSource));
        c.top = top.value();
    } else {
        c.top = layout.mirroredFolderOf(destination, c.topSource);
    }
    c.tree = m.folder;
    if (!m.folder)
        c.copyName = layout.mirroredName(Paths::fileName(m.source));
    return c;
}

std::vector<Claim> allClaims(const Snapshot& snapshot) {
    std::vector<Claim> claims;
    claims.reserve(snapshot.members.size());
    // The file associations of one folder share its top mirrored folder in a destination: it is
    // worked out once per folder, most of the work in a store of many files.
    Tops tops;
    for (qsizetype i = 0; i < qsizetype(snapshot.members.size()); ++i)
        for (const QString& destination : snapshot.members[size_t(i)].destinations)
            claims.push_back(claimOf(snapshot, i, destination, &tops));
    return claims;
}

// The components of `path` below `top`; `path` must be the same as or below it.
QStringList componentsBelow(const QString& path, const QString& top) {
    const QString p = Paths::withoutTrailingSeparator(path);
    const QString t = Paths::withoutTrailingSeparator(top);
    QStringList below = Paths::split(p.mid(t.size()));
    below.removeAll(QString());
    return below;
}

bool strictlyBelow(const QString& path, const QString& folder) {
    return Paths::isSameOrBelow(path, folder) && !Paths::samePath(path, folder);
}

// The source folder or file that the place `below` (components under a folder association's
// top) stands for; nullopt inside a version folder, where no source folder is mirrored.
std::optional<QString> sourceAt(const BackupLayout& layout, const Claim& c,
                                const QStringList& below) {
    QString source = c.topSource;
    for (const QString& mirrored : below) {
        const std::optional<QString> name = layout.sourceNameOf(mirrored);
        if (!name)
            return std::nullopt;
        source = Paths::join(source, *name);
    }
    return source;
}

// What a place below a claim's top is to it: the copy (version 0) or the k-th kept version of a
// source file, or for a folder association also the mirror of a source folder.
struct Meaning {
    QString source;
    int version = 0;
};

// nullopt when the claim makes nothing there.
std::optional<Meaning> meaningAt(const Snapshot& snapshot, const Claim& c, const QString& place) {
    if (!strictlyBelow(place, c.top))
        return std::nullopt;
    const BackupLayout layout = layoutOf(snapshot, c.member);
    const QStringList below = componentsBelow(place, c.top);
    const qsizetype n = below.size();
    const int k = n >= 2 ? layout.versionNumberOf(below[n - 2]) : 0;
    if (!c.tree) {
        if (Paths::samePath(below.last(), c.copyName) && (n == 1 || (n == 2 && k > 0)))
            return Meaning{snapshot.members[size_t(c.member)].source, k};
        return std::nullopt;
    }
    if (k == 0) {
        const std::optional<QString> source = sourceAt(layout, c, below);
        if (!source)
            return std::nullopt;
        return Meaning{*source, 0};
    }
    const std::optional<QString> folder = sourceAt(layout, c, below.mid(0, n - 2));
    const std::optional<QString> name = layout.sourceNameOf(below.last());
    if (!folder || !name)
        return std::nullopt;
    return Meaning{Paths::join(*folder, *name), k};
}

// `lower`'s top is the same as or below `upper`'s: do their places meet with another meaning?
bool clashBetween(const Snapshot& snapshot, const Claim& upper, const Claim& lower) {
    if (!upper.tree && lower.tree && Paths::samePath(upper.top, lower.top))
        return clashBetween(snapshot, lower, upper);
    const BackupLayout layout = layoutOf(snapshot, upper.member);
    const QStringList below = componentsBelow(lower.top, upper.top);
    if (upper.tree) {
        // Below a folder association's top, every folder already stands for a source folder.
        const std::optional<QString> at = sourceAt(layout, upper, below);
        return !at || !Paths::samePath(*at, lower.topSource);
    }
    if (below.isEmpty())
        return Paths::samePath(upper.copyName, lower.copyName);
    // A file association writes its copy and, in each version folder, its versions.
    if (Paths::samePath(below.first(), upper.copyName))
        return true;
    return below.size() == 1 && layout.versionNumberOf(below.first()) > 0 &&
           (lower.tree || Paths::samePath(lower.copyName, upper.copyName));
}

// Whether the association watches `path` for changes.
bool watches(const Member& m, const QString& path) {
    if (!m.folder)
        return Paths::samePath(path, m.source);
    return m.recursive ? strictlyBelow(path, m.source) : Paths::isDirectlyIn(path, m.source);
}

// Does what the claim writes land where `target` watches?
bool feeds(const Snapshot& snapshot, const Claim& c, const Member& target) {
    const QString& s = target.source;
    if (Paths::isSameOrBelow(c.top, s))
        return target.folder && (target.recursive || Paths::samePath(c.top, s));
    if (!strictlyBelow(s, c.top))
        return false;
    if (c.tree)
        return true;
    // Below a file association's top it writes only its copy and its versions.
    const BackupLayout layout = layoutOf(snapshot, c.member);
    const QStringList below = componentsBelow(s, c.top);
    const bool versionFolder = layout.versionNumberOf(below.first()) > 0;
    if (target.folder)
        return below.size() == 1 && versionFolder;
    return Paths::samePath(below.last(), c.copyName) &&
           (below.size() == 1 || (below.size() == 2 && versionFolder));
}

using Edges = std::vector<std::vector<qsizetype>>;

// Which enabled association copies into which one's watched source.
Edges feedingEdges(const Snapshot& snapshot) {
    const qsizetype count = qsizetype(snapshot.members.size());
    // Sources by key, so that a claim looks only at the sources above and below its top.
    std::multimap<QString, qsizetype> bySource;
    for (qsizetype i = 0; i < count; ++i)
        if (snapshot.members[size_t(i)].enabled)
            bySource.emplace(Paths::PathKey(snapshot.members[size_t(i)].source), i);
    Edges edges(static_cast<size_t>(count));
    const auto link = [&](const Claim& c, qsizetype target) {
        if (target != c.member && feeds(snapshot, c, snapshot.members[size_t(target)]))
            edges[size_t(c.member)].push_back(target);
    };
    // The sources at, above and below a top, looked up once per top: the file associations of
    // one folder share theirs.
    const auto sourcesAround = [&](const QString& top) {
        std::vector<qsizetype> found;
        for (QString above = top; !above.isEmpty(); above = Paths::parent(above)) {
            const auto [from, to] = bySource.equal_range(Paths::PathKey(above));
            for (auto it = from; it != to; ++it)
                found.push_back(it->second);
        }
        const QString head =
            Paths::PathKey(Paths::withoutTrailingSeparator(top)) + Paths::separator();
        for (auto it = bySource.lower_bound(head);
             it != bySource.end() && it->first.startsWith(head); ++it)
            found.push_back(it->second);
        return found;
    };
    QHash<QString, std::vector<qsizetype>> aroundTop;
    for (const Claim& c : allClaims(snapshot)) {
        if (!snapshot.members[size_t(c.member)].enabled)
            continue;
        const QString key = Paths::PathKey(c.top);
        auto around = aroundTop.constFind(key);
        if (around == aroundTop.cend())
            around = aroundTop.insert(key, sourcesAround(c.top));
        for (const qsizetype target : around.value())
            link(c, target);
    }
    return edges;
}

// The shortest way from `start` back to itself, or empty when there is none.
Chain cycleThrough(const Edges& edges, qsizetype start) {
    std::vector<qsizetype> cameFrom(edges.size(), -1);
    std::deque<qsizetype> queue{start};
    while (!queue.empty()) {
        const qsizetype at = queue.front();
        queue.pop_front();
        for (const qsizetype next : edges[size_t(at)]) {
            if (next == start) {
                Chain chain{at};
                for (qsizetype back = at; back != start;)
                    chain.push_back(back = cameFrom[size_t(back)]);
                std::reverse(chain.begin(), chain.end());
                return chain;
            }
            if (cameFrom[size_t(next)] < 0) {
                cameFrom[size_t(next)] = at;
                queue.push_back(next);
            }
        }
    }
    return {};
}

// Members that may lie on a cycle: what is left after peeling off, again and again, those that
// nothing feeds or that feed nothing. Looking for a cycle only through these keeps thousands of
// associations that feed no one from costing a search each.
std::vector<bool> onSomeCycle(const Edges& edges) {
    const size_t count = edges.size();
    std::vector<qsizetype> in(count, 0), out(count, 0);
    std::vector<std::vector<qsizetype>> fedBy(count);
    for (size_t from = 0; from < count; ++from)
        for (const qsizetype to : edges[from]) {
            ++out[from];
            ++in[size_t(to)];
            fedBy[size_t(to)].push_back(qsizetype(from));
        }
    std::vector<bool> left(count, true);
    std::vector<size_t> peel;
    for (size_t i = 0; i < count; ++i)
        if (in[i] == 0 || out[i] == 0)
            peel.push_back(i);
    while (!peel.empty()) {
        const size_t at = peel.back();
        peel.pop_back();
        if (!left[at])
            continue;
        left[at] = false;
        for (const qsizetype to : edges[at])
            if (left[size_t(to)] && --in[size_t(to)] == 0)
                peel.push_back(size_t(to));
        for (const qsizetype from : fedBy[at])
            if (left[size_t(from)] && --out[size_t(from)] == 0)
                peel.push_back(size_t(from));
    }
    return left;
}

QString quoted(const Snapshot& snapshot, qsizetype index) {
    return QLatin1Char('"') + Paths::displayName(snapshot.members[size_t(index)].source) +
           QLatin1Char('"');
}

} // namespace

Snapshot snapshotOf(const colBackups& backups, const colDestinations& destinations,
                    const QString& versionBase) {
    QHash<QString, QStringList> destinationsOf;
    for (const auto& d : destinations)
        destinationsOf[Paths::PathKey(d->Source)] << d->Path;
    Snapshot snapshot;
    snapshot.versionBase = versionBase;
    snapshot.members.reserve(size_t(backups.Count()));
    for (const auto& a : backups)
        snapshot.members.push_back({a->SourcePath, a->Folder, a->Folder && a->Recursive, a->Enabled,
                                    destinationsOf.value(Paths::PathKey(a->SourcePath))});
    return snapshot;
}

std::vector<Clash> clashes(const Snapshot& snapshot) {
    const std::vector<Claim> claims = allClaims(snapshot);
    // Claims by their top; file associations' also by top and copy name, since two of them with
    // one top meet only when their copies have the same name. Looking those up by name keeps a
    // folder of thousands of file associations linear instead of pairing every two of them.
    QHash<QString, std::vector<qsizetype>> byTop, foldersByTop, filesByTopAndName;
    std::vector<QString> topKeys;
    topKeys.reserve(claims.size());
    for (const Claim& c : claims)
        topKeys.push_back(Paths::PathKey(c.top));
    const auto nameKey = [&](qsizetype i) {
        return topKeys[size_t(i)] + QChar(0) + Paths::PathKey(claims[size_t(i)].copyName);
    };
    for (qsizetype i = 0; i < qsizetype(claims.size()); ++i) {
        const Claim& c = claims[size_t(i)];
        byTop[topKeys[size_t(i)]].push_back(i);
        if (c.tree)
            foldersByTop[topKeys[size_t(i)]].push_back(i);
        else
            filesByTopAndName[nameKey(i)].push_back(i);
    }
    // Looked up without copying the list.
    const auto listAt = [](const QHash<QString, std::vector<qsizetype>>& by,
                           const QString& key) -> const std::vector<qsizetype>& {
        static const std::vector<qsizetype> none;
        const auto it = by.constFind(key);
        return it == by.cend() ? none : it.value();
    };
    // The claims on the folders above a top, looked up once per top (with whether that folder is
    // the top itself, which only a root can be).
    QHash<QString, std::vector<std::pair<qsizetype, bool>>> aboveTop;
    const auto claimsAbove = [&](const QString& top) {
        std::vector<std::pair<qsizetype, bool>> found;
        for (QString above = Paths::parent(top); !above.isEmpty(); above = Paths::parent(above))
            for (const qsizetype u : listAt(byTop, Paths::PathKey(above)))
                found.emplace_back(u, Paths::samePath(above, top));
        return found;
    };
    std::set<std::pair<qsizetype, qsizetype>> seen;
    std::vector<Clash> found;
    const auto check = [&](qsizetype u, qsizetype l, bool sameTop) {
        const Claim& upper = claims[size_t(u)];
        const Claim& lower = claims[size_t(l)];
        if (upper.member == lower.member || (sameTop && u > l) ||
            !clashBetween(snapshot, upper, lower))
            return;
        const auto pair = std::minmax(upper.member, lower.member);
        if (seen.insert(pair).second)
            found.push_back({pair.first, pair.second, lower.destination});
    };
    for (qsizetype l = 0; l < qsizetype(claims.size()); ++l) {
        const Claim& lower = claims[size_t(l)];
        const QString& top = topKeys[size_t(l)];
        // The same top: folder claims always, file claims of the same name (or every one, for
        // a folder claim, whose mirror may hold a file of any name).
        for (const qsizetype u : listAt(foldersByTop, top))
            check(u, l, true);
        for (const qsizetype u :
             lower.tree ? listAt(byTop, top) : listAt(filesByTopAndName, nameKey(l)))
            if (!claims[size_t(u)].tree)
                check(u, l, true);
        auto above = aboveTop.constFind(top);
        if (above == aboveTop.cend())
            above = aboveTop.insert(top, claimsAbove(lower.top));
        for (const auto& [u, sameTop] : above.value())
            check(u, l, sameTop);
    }
    std::sort(found.begin(), found.end(), [](const Clash& a, const Clash& b) {
        return std::pair(a.second, a.first) < std::pair(b.second, b.first);
    });
    return found;
}

std::vector<Chain> chains(const Snapshot& snapshot) {
    const Edges edges = feedingEdges(snapshot);
    std::vector<Chain> found;
    std::vector<bool> inChain(edges.size(), false);
    const std::vector<bool> cyclic = onSomeCycle(edges);
    for (qsizetype i = 0; i < qsizetype(edges.size()); ++i) {
        if (inChain[size_t(i)] || !cyclic[size_t(i)])
            continue;
        Chain chain = cycleThrough(edges, i);
        for (const qsizetype member : chain)
            inChain[size_t(member)] = true;
        if (!chain.empty())
            found.push_back(std::move(chain));
    }
    return found;
}

QString describe(const Snapshot& snapshot, const Clash& clash) {
    return QStringLiteral("%1 and %2 would back up into the same place in \"%3\", where the "
                          "copies of one would replace those of the other.")
        .arg(quoted(snapshot, clash.first), quoted(snapshot, clash.second),
             Paths::displayName(clash.destination));
}

QString describe(const Snapshot& snapshot, const Chain& chain) {
    QString text = QStringLiteral("The copies of %1 land in the source of %2")
                       .arg(quoted(snapshot, chain[0]), quoted(snapshot, chain[1 % chain.size()]));
    for (size_t i = 1; i + 1 < chain.size(); ++i)
        text += QStringLiteral(", those of %1 in the source of %2")
                    .arg(quoted(snapshot, chain[i]), quoted(snapshot, chain[i + 1]));
    return text + QStringLiteral(", and those of %1 back in the source of %2: copies would be "
                                 "copied without end.")
                      .arg(quoted(snapshot, chain.back()), quoted(snapshot, chain[0]));
}

std::optional<QString> refusalFor(const Snapshot& snapshot, qsizetype index) {
    for (const Clash& clash : clashes(snapshot))
        if (clash.first == index || clash.second == index)
            return describe(snapshot, clash);
    if (!snapshot.members[size_t(index)].enabled)
        return std::nullopt;
    const Chain chain = cycleThrough(feedingEdges(snapshot), index);
    if (chain.empty())
        return std::nullopt;
    return describe(snapshot, chain);
}

bool placeTakenByAnother(const Snapshot& snapshot, qsizetype index, const QString& filePath,
                         const QString& copyPath) {
    for (qsizetype j = 0; j < index && j < qsizetype(snapshot.members.size()); ++j) {
        for (const QString& destination : snapshot.members[size_t(j)].destinations) {
            if (!strictlyBelow(copyPath, destination))
                continue;
            const Claim c = claimOf(snapshot, j, destination);
            const std::optional<Meaning> meaning = meaningAt(snapshot, c, copyPath);
            // A file association's folder holds other files too; only its own names are its.
            if (!meaning && (c.tree ? !strictlyBelow(copyPath, c.top)
                                    : !strictlyBelow(copyPath, Paths::join(c.top, c.copyName))))
                continue;
            if (!meaning || meaning->version != 0 || !Paths::samePath(meaning->source, filePath))
                return true;
        }
    }
    return false;
}

bool wouldFeedItsOrigin(const Snapshot& snapshot, const QString& filePath,
                        const QString& copyPath) {
    std::vector<bool> origin(snapshot.members.size(), false);
    std::deque<QString> copies{filePath};
    while (!copies.empty()) {
        const QString copy = copies.front();
        copies.pop_front();
        for (qsizetype j = 0; j < qsizetype(snapshot.members.size()); ++j) {
            if (origin[size_t(j)])
                continue;
            for (const QString& destination : snapshot.members[size_t(j)].destinations) {
                if (!strictlyBelow(copy, destination))
                    continue;
                const auto meaning = meaningAt(snapshot, claimOf(snapshot, j, destination), copy);
                if (meaning) {
                    origin[size_t(j)] = true;
                    copies.push_back(meaning->source);
                    break;
                }
            }
        }
    }
    for (size_t j = 0; j < origin.size(); ++j)
        if (origin[j] && watches(snapshot.members[j], copyPath))
            return true;
    return false;
}

Ownership ownershipOf(const colBackups& backups, const colDestinations& destinations,
                      const QString& versionBase, const QString& sourcePath) {
    if (!backups.contains(sourcePath))
        return {};
    return Owners(backups, destinations, versionBase).of(sourcePath);
}

Owners::Owners(const colBackups& backups, const colDestinations& destinations,
               const QString& versionBase)
    : Owners(snapshotOf(backups, destinations, versionBase)) {}

Owners::Owners(Snapshot snapshot)
    : m_snapshot(std::make_shared<const Snapshot>(std::move(snapshot))) {
    m_positions.reserve(qsizetype(m_snapshot->members.size()));
    for (qsizetype i = 0; i < qsizetype(m_snapshot->members.size()); ++i)
        m_positions.insert(Paths::PathKey(m_snapshot->members[size_t(i)].source), i);
}

Ownership Owners::of(const QString& sourcePath) const {
    const auto it = m_positions.constFind(Paths::PathKey(sourcePath));
    if (it == m_positions.constEnd())
        return {};
    return {m_snapshot, it.value()};
}

CheckFailure checkCopy(const Ownership& owners, const QString& filePath, const QString& copyPath) {
    if (!owners.snapshot)
        return CheckFailure::None;
    if (placeTakenByAnother(*owners.snapshot, owners.index, filePath, copyPath))
        return CheckFailure::PlaceTaken;
    if (wouldFeedItsOrigin(*owners.snapshot, filePath, copyPath))
        return CheckFailure::FeedsItsOrigin;
    return CheckFailure::None;
}

} // namespace BackupOwners
