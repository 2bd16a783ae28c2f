#include "presentation/PopupTexts.h"

#include "platform/Paths.h"

#include <QtMath>
#include <algorithm>

namespace PopupTexts {

MessageKind kindOf(const QString& message) {
    const QString start = message.left(5);
    if (start == QLatin1String("Error"))
        return MessageKind::Error;
    if (start == QLatin1String("Delay"))
        return MessageKind::Delay;
    return MessageKind::Other;
}

quint32 colourOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return errorColour;
    case MessageKind::Delay:
        return delayColour;
    case MessageKind::Other:
        break;
    }
    return otherColour;
}

QString statusText(const QString& message) {
    QString shown = Paths::displayName(message);
    return shown.replace(QLatin1String("&&"), QLatin1String("&"));
}

QString sourceText(const QString& sourcePath, bool fullSource) {
    const QString shown = Paths::displayName(sourcePath);
    if (fullSource)
        return shown;
    return Paths::split(shown).constLast();
}

QString destinationText(const QString& destinationPath, bool fullDest) {
    const QString shown = Paths::displayName(destinationPath);
    if (fullDest)
        return shown;
    const QStringList parts = Paths::split(shown);
    if (parts.size() < 2)
        return parts.constLast();
    return parts.at(parts.size() - 2) + Paths::separator() + parts.constLast();
}

QString destinationLine(const QString& destDir, const QString& destFolder,
                        const QString& destVolume, bool fullDest) {
    QStringList disk;
    if (!destVolume.isEmpty())
        disk << Paths::displayName(destVolume);
    if (!fullDest && !destFolder.isEmpty())
        disk << Paths::displayName(destFolder);
    const QString shown = destinationText(destDir, fullDest);
    return disk.isEmpty()
               ? shown
               : shown + QStringLiteral(" (") + disk.join(QStringLiteral(", ")) + QLatin1Char(')');
}

} // namespace PopupTexts

namespace PopupGeometry {

int pixels(int twips, double dpi) {
    return qRound(twips * (dpi > 0 ? dpi : 96.0) / 1440.0);
}

int grownWidth(int currentWidth, int neededWidth, int workAreaWidth) {
    return std::min(std::max(currentWidth, neededWidth), workAreaWidth);
}

QRect bottomRight(const QRect& workArea, QSize size) {
    size = size.boundedTo(workArea.size());
    return QRect(QPoint(workArea.right() - size.width() + 1, workArea.bottom() - size.height() + 1),
                 size);
}

} // namespace PopupGeometry
