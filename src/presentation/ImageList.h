#pragma once
// The tree's image list (`imlIcons`) as text keys. Generic entries come first and begin with
// "*"; per-path entries are keyed by PathKey(path), optionally followed by "*Green" or
// "*Magenta". The list only records what each key stands for; the window turns a key into a
// picture when it is first drawn, so building a tree of thousands of nodes asks the icon theme
// nothing.

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace ImageKeys {
inline const QString hand = QStringLiteral("*Hand");
inline const QString green = QStringLiteral("*Green");
inline const QString magenta = QStringLiteral("*Magenta");
inline const QString yellow = QStringLiteral("*Yellow");
inline const QString file = QStringLiteral("*File");
inline const QString fileYellow = QStringLiteral("*FileYellow");
inline const QString folder = QStringLiteral("*Folder");
inline const QString folderYellow = QStringLiteral("*FolderYellow");
inline const QString folderShared = QStringLiteral("*FolderShared");
inline const QString drive = QStringLiteral("*Drive");
inline const QString driveYellow = QStringLiteral("*DriveYellow");

// True for the three pictures that mean "source missing".
bool isYellow(const QString& key);
// True for keys that name no path.
inline bool isGeneric(const QString& key) {
    return key.startsWith(u'*');
}
} // namespace ImageKeys

class ImageList {
public:
    // What a path's own picture shows.
    enum class PathKind { File, Folder, Drive };

    struct Entry {
        QString key;
        // A picture of its own: the overlay artwork (generic overlays), the theme icon of a kind
        // (generic pictures) or of a path. An overlaid picture: `base` with `overlay` on top.
        QString path;
        PathKind kind = PathKind::File;
        QString base;
        QString overlay;
        bool isOverlay() const { return !overlay.isEmpty(); }
    };

    // Builds the generic entries (once; the first entries of the list).
    void PlaceIcons();
    // The number of generic entries: entries up to it are never removed (`gintNonIconsLocal`).
    int genericCount() const { return m_genericCount; }

    // Adds the picture of `path` itself under PathKey(path) unless that key is present.
    void EnsurePathIcon(const QString& path, PathKind kind);
    // Adds PathKey(path) & "*Green" and & "*Magenta" overlaid on PathKey(path), unless present.
    void EnsureStatusIcons(const QString& path);

    // Makes room for `more` entries at once, so that a tree filled with thousands of paths does
    // not grow the list step by step.
    void reserve(int more);

    int count() const { return int(m_entries.size()); }
    bool contains(const QString& key) const { return m_positions.contains(key); }
    const Entry* find(const QString& key) const;
    QStringList keys() const;

    // Removes the per-path entries after the first `keep` for which `used` is false.
    void removeUnused(int keep, const std::function<bool(const QString&)>& used);
    // Removes every entry after the generic ones.
    void removeAllPathImages();

    // Told which keys went, so a picture cache can drop them.
    std::function<void(const QStringList&)> removed;

private:
    void add(Entry entry);
    void reindex();

    std::vector<Entry> m_entries;
    QHash<QString, int> m_positions; // 0-based
    int m_genericCount = 0;
};
