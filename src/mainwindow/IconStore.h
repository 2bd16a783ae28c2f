#pragma once
// Turns the tree's image keys into pictures: the desktop icon theme's pictures of files, folders
// and drives, and our overlays drawn over them at whatever size and scale they are painted, so
// they stay sharp on HiDPI screens. Pictures are made when first asked for and shared between
// paths that look alike.

#include "presentation/ImageList.h"

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>

class IconStore {
public:
    explicit IconStore(const ImageList& images);

    // The picture of `key`; a null icon for a key the list does not hold.
    QIcon icon(const QString& key);
    void forget(const QStringList& keys);

    // Our artwork by name ("green", "options", ...).
    static QIcon artwork(const QString& name);
    // The toolbar's wordmark, its lettering in `lettering` so that it reads on the window's own
    // background, light or dark; `size` in device-independent pixels.
    static QPixmap wordmark(const QColor& lettering, QSize size, qreal devicePixelRatio);
    // When the desktop names no icon theme, use one that is installed.
    static void chooseIconTheme();

private:
    QIcon make(const ImageList::Entry& entry);
    QIcon pictureOf(const QString& path, ImageList::PathKind kind);
    QIcon themed(const QString& name, QAbstractFileIconProvider::IconType fallback);

    const ImageList& m_images;
    QHash<QString, QIcon> m_byKey;
    QHash<QString, QIcon> m_byThemeName;
    QFileIconProvider m_provider;
    QMimeDatabase m_mime;
};
