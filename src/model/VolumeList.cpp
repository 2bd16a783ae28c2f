#include "model/VolumeList.h"

namespace VolumeList {
namespace {
const QChar nul(u'\0');
const QString unlabeledMark = QString(2, nul);
} // namespace

bool isUnlabeledName(const QString& volumeName) {
    return volumeName.isEmpty() || volumeName.startsWith(unlabeledPrefix, Qt::CaseInsensitive);
}

QString encode(const QStringList& names, bool acceptUnlabeled) {
    QString text;
    for (const QString& name : names)
        if (!name.isEmpty())
            text += name + nul;
    if (acceptUnlabeled) {
        text += nul;
        if (text.size() == 1)
            text += nul;
    } else {
        text.chop(1);
    }
    return text;
}

Decoded decode(const QString& volumeList) {
    Decoded decoded;
    decoded.acceptUnlabeled = volumeList.contains(unlabeledMark);
    decoded.names = volumeList.split(nul, Qt::SkipEmptyParts);
    return decoded;
}

bool accepts(const QString& volumeList, const QString& volumeName) {
    if (isUnlabeledName(volumeName) && volumeList.contains(unlabeledMark))
        return true;
    if (volumeName.isEmpty())
        return false;
    for (const QString& piece : volumeList.split(nul, Qt::SkipEmptyParts))
        if (piece.compare(volumeName, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace VolumeList
