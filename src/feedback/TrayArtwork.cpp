#include "feedback/TrayArtwork.h"

#include <QHash>

// The resources live in a static library: nothing else would pull them into the program. The
// initialiser is declared in the global namespace, so it is called from outside any other.
static void initFeedbackResources() {
    Q_INIT_RESOURCE(feedback);
}

namespace {
void loadResources() {
    static const bool loaded = [] {
        initFeedbackResources();
        return true;
    }();
    Q_UNUSED(loaded);
}

QIcon cached(const QString& path) {
    loadResources();
    static QHash<QString, QIcon> icons;
    auto it = icons.find(path);
    if (it == icons.end())
        it = icons.insert(path, QIcon(path));
    return it.value();
}
} // namespace

namespace TrayArtwork {

QIcon icon(TrayPicture picture, TrayLook look) {
    switch (picture) {
    case TrayPicture::Nod:
        return cached(QStringLiteral(":/feedback/artwork/quillmot-nod.svg"));
    case TrayPicture::Shake:
        return cached(QStringLiteral(":/feedback/artwork/quillmot-shake.svg"));
    case TrayPicture::Dialog:
        return cached(QStringLiteral(":/feedback/artwork/quillmot-dialog.svg"));
    case TrayPicture::Normal:
        break;
    }
    switch (look) {
    case TrayLook::Paused:
        return cached(QStringLiteral(":/feedback/artwork/quillmot-paused.svg"));
    case TrayLook::Warning:
        return cached(QStringLiteral(":/feedback/artwork/quillmot-warning.svg"));
    case TrayLook::PausedWarning:
        return cached(QStringLiteral(":/feedback/artwork/quillmot-paused-warning.svg"));
    case TrayLook::Normal:
        break;
    }
    return cached(QStringLiteral(":/feedback/artwork/quillmot.svg"));
}

QIcon closeImage(bool autoAdvance) {
    return cached(autoAdvance ? QStringLiteral(":/feedback/artwork/notify-min.svg")
                              : QStringLiteral(":/feedback/artwork/notify-advance.svg"));
}

} // namespace TrayArtwork
