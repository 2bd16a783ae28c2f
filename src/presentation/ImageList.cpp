#include "presentation/ImageList.h"

#include "platform/Paths.h"

#include <algorithm>

bool ImageKeys::isYellow(const QString& key) {
    return key == fileYellow || key == folderYellow || key == driveYellow;
}

void ImageList::PlaceIcons() {
    if (m_genericCount > 0)
        return;
    using namespace ImageKeys;
    // The four overlays are artwork; the rest are the theme's pictures of an ordinary file, a
    // folder and a drive, plain and overlaid.
    for (const QString& overlay : {hand, green, magenta, yellow})
        add(Entry{overlay, {}, PathKind::File, {}, {}});
    add(Entry{file, {}, PathKind::File, {}, {}});
    add(Entry{fileYellow, {}, PathKind::File, file, yellow});
    add(Entry{folder, {}, PathKind::Folder, {}, {}});
    add(Entry{folderYellow, {}, PathKind::Folder, folder, yellow});
    add(Entry{folderShared, {}, PathKind::Folder, folder, hand});
    add(Entry{drive, {}, PathKind::Drive, {}, {}});
    add(Entry{driveYellow, {}, PathKind::Drive, drive, yellow});
    m_genericCount = count();
}

void ImageList::EnsurePathIcon(const QString& path, PathKind kind) {
    const QString key = Paths::PathKey(path);
    if (!contains(key))
        add(Entry{key, path, kind, {}, {}});
}

void ImageList::EnsureStatusIcons(const QString& path) {
    const QString base = Paths::PathKey(path);
    for (const QString& overlay : {ImageKeys::green, ImageKeys::magenta})
        if (!contains(base + overlay))
            add(Entry{base + overlay, {}, PathKind::File, base, overlay});
}

const ImageList::Entry* ImageList::find(const QString& key) const {
    const auto it = m_positions.constFind(key);
    return it == m_positions.cend() ? nullptr : &m_entries[std::size_t(it.value())];
}

QStringList ImageList::keys() const {
    QStringList all;
    all.reserve(count());
    for (const Entry& e : m_entries)
        all.append(e.key);
    return all;
}

void ImageList::removeUnused(int keep, const std::function<bool(const QString&)>& used) {
    QStringList gone;
    std::vector<Entry> kept;
    kept.reserve(m_entries.size());
    for (int i = 0; i < count(); ++i) {
        Entry& e = m_entries[std::size_t(i)];
        if (i >= keep && !ImageKeys::isGeneric(e.key) && !used(e.key))
            gone.append(e.key);
        else
            kept.push_back(std::move(e));
    }
    // Every kept entry has moved, so the list is the kept one even when nothing went.
    m_entries = std::move(kept);
    if (gone.isEmpty())
        return;
    reindex();
    if (removed)
        removed(gone);
}

void ImageList::removeAllPathImages() {
    removeUnused(m_genericCount, [](const QString&) { return false; });
}

void ImageList::reserve(int more) {
    m_entries.reserve(m_entries.size() + std::size_t(std::max(more, 0)));
    m_positions.reserve(qsizetype(m_entries.capacity()));
}

void ImageList::add(Entry entry) {
    m_positions.insert(entry.key, count());
    m_entries.push_back(std::move(entry));
}

void ImageList::reindex() {
    m_positions.clear();
    m_positions.reserve(count());
    for (int i = 0; i < count(); ++i)
        m_positions.insert(m_entries[std::size_t(i)].key, i);
}
