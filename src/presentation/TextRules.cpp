#include "presentation/TextRules.h"

namespace TextRules {

namespace {
bool hasControlCharacter(const QString& text) {
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}
} // namespace

bool isVolumeName(const QString& text) {
    // A drive without a label is named by its UUID, which is longer than any typed name.
    const qsizetype limit = text.startsWith(QLatin1String("UUID="), Qt::CaseInsensitive)
                                ? maxVolumeFieldLength
                                : maxVolumeNameLength;
    return text.size() <= limit && !hasControlCharacter(text);
}

bool isVersionsText(const QString& text) {
    if (text.size() > maxVersionsDigits)
        return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool isStorablePath(const QString& path) {
    return !path.isEmpty() && !hasControlCharacter(path);
}

} // namespace TextRules
