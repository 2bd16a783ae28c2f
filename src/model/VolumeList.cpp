#include "model/VolumeList.h"

namespace VolumeList {
namespace {
const QChar Nul(u'\0');
const QString UnlabeledMark = QString(2, Nul);
} // namespace

QString encode(const QStringList& names, bool acceptUnlabeled) {
    QString text;
    for (const QString& name : names)
        if (!name.isEmpty())
            text += name + Nul;
    if (acceptUnlabeled) {
        text += Nul;
        if (text.size() == 1)
            text += Nul;
    } else {
        text.chop(1);
    }
    return text;
}

Decoded decode(const QString& volumeList) {
    Decoded decoded;
    decoded.acceptUnlabeled = volumeList.contains(UnlabeledMark);
    decoded.names = volumeList.split(Nul, Qt::SkipEmptyParts);
    return decoded;
}

bool accepts(const QString& volumeList, const QString& volumeName) {
    if (volumeName.isEmpty())
        return volumeList.contains(UnlabeledMark);
    for (const QString& piece : volumeList.split(Nul, Qt::SkipEmptyParts))
        if (piece.compare(volumeName, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace VolumeList
