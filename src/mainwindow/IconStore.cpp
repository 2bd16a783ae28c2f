#include "mainwindow/IconStore.h"

#include <QDir>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>
#include <map>
#include <memory>

namespace {

QString artworkPath(const QString& name) {
    return QStringLiteral(":/mainwindow/art/%1.svg").arg(name);
}

// The overlays are drawn from their vector artwork, never scaled from a small bitmap.
QSvgRenderer& overlayRenderer(const QString& key) {
    // Kept for the life of the program, and owned, so that they go with it.
    static std::map<QString, std::unique_ptr<QSvgRenderer>> renderers;
    auto it = renderers.find(key);
    if (it == renderers.end()) {
        const QString name = key.mid(1).toLower(); // "*Green" -> "green"
        it = renderers.emplace(key, std::make_unique<QSvgRenderer>(artworkPath(name))).first;
    }
    return *it->second;
}

// A picture with an overlay in its lower corner: status dots and the warning mark at the
// right, the sharing hand at the left.
class OverlayIconEngine : public QIconEngine {
public:
    OverlayIconEngine(QIcon base, QString overlayKey)
        : m_base(std::move(base)), m_overlayKey(std::move(overlayKey)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        m_base.paint(painter, rect, Qt::AlignCenter, mode, state);
        const int side = std::max(6, rect.width() * 9 / 16);
        const bool left = m_overlayKey == QLatin1String("*Hand");
        const QRect corner(left ? rect.left() : rect.right() + 1 - side, rect.bottom() + 1 - side,
                           side, side);
        overlayRenderer(m_overlayKey).render(painter, corner);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap picture(size * scale);
        picture.setDevicePixelRatio(scale);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return picture;
    }

    QIconEngine* clone() const override { return new OverlayIconEngine(m_base, m_overlayKey); }

private:
    QIcon m_base;
    QString m_overlayKey;
};

} // namespace

IconStore::IconStore(const ImageList& images) : m_images(images) {}

QIcon IconStore::artwork(const QString& name) {
    return QIcon(artworkPath(name));
}

QPixmap IconStore::wordmark(const QColor& lettering, QSize size, qreal devicePixelRatio) {
    // The artwork's own lettering colour, dark, as drawn for a light window.
    static const QByteArray drawnLettering = QByteArrayLiteral("#2e3a46");
    QFile file(artworkPath(QStringLiteral("title")));
    QByteArray svg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    svg.replace(drawnLettering, lettering.name().toLatin1());
    QSvgRenderer renderer(svg);
    QPixmap picture(size * devicePixelRatio);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return picture;
}

void IconStore::chooseIconTheme() {
    if (!QIcon::fromTheme(QStringLiteral("folder")).isNull())
        return;
    for (const QString& theme : {QStringLiteral("Adwaita"), QStringLiteral("breeze")})
        if (QDir(QStringLiteral("/usr/share/icons/") + theme).exists()) {
            QIcon::setThemeName(theme);
            return;
        }
}

QIcon IconStore::icon(const QString& key) {
    const auto cached = m_byKey.constFind(key);
    if (cached != m_byKey.cend())
        return cached.value();
    const ImageList::Entry* entry = m_images.find(key);
    if (!entry)
        return {};
    const QIcon made = make(*entry);
    m_byKey.insert(key, made);
    return made;
}

void IconStore::forget(const QStringList& keys) {
    for (const QString& key : keys)
        m_byKey.remove(key);
}

QIcon IconStore::make(const ImageList::Entry& entry) {
    using Kind = ImageList::PathKind;
    if (entry.isOverlay())
        return QIcon(new OverlayIconEngine(icon(entry.base), entry.overlay));
    if (!entry.path.isEmpty())
        return pictureOf(entry.path, entry.kind);
    if (entry.key == ImageKeys::file)
        return themed(QStringLiteral("text-x-generic"), QAbstractFileIconProvider::File);
    if (entry.key == ImageKeys::folder)
        return themed(QStringLiteral("folder"), QAbstractFileIconProvider::Folder);
    if (entry.key == ImageKeys::drive)
        return themed(QStringLiteral("drive-harddisk"), QAbstractFileIconProvider::Drive);
    if (entry.kind == Kind::File && entry.key.startsWith(u'*'))
        return artwork(entry.key.mid(1).toLower());
    return {};
}

// Files look like their type (by name, without reading them); drives like a disk, removable
// media like a removable one.
QIcon IconStore::pictureOf(const QString& path, ImageList::PathKind kind) {
    switch (kind) {
    case ImageList::PathKind::Drive: {
        const bool removable = path.startsWith(QLatin1String("/media/")) ||
                               path.startsWith(QLatin1String("/run/media/"));
        return themed(removable ? QStringLiteral("drive-removable-media")
                                : QStringLiteral("drive-harddisk"),
                      QAbstractFileIconProvider::Drive);
    }
    case ImageList::PathKind::Folder:
        return themed(path == QDir::homePath() ? QStringLiteral("user-home")
                                               : QStringLiteral("folder"),
                      QAbstractFileIconProvider::Folder);
    case ImageList::PathKind::File:
        break;
    }
    const QMimeType type = m_mime.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    const QString name =
        QIcon::hasThemeIcon(type.iconName()) ? type.iconName() : type.genericIconName();
    return themed(name, QAbstractFileIconProvider::File);
}

QIcon IconStore::themed(const QString& name, QAbstractFileIconProvider::IconType fallback) {
    const QString cacheKey = name + u'|' + QString::number(int(fallback));
    auto it = m_byThemeName.constFind(cacheKey);
    if (it == m_byThemeName.cend())
        it = m_byThemeName.insert(cacheKey, QIcon::fromTheme(name, m_provider.icon(fallback)));
    return it.value();
}
