#include "presentation/VolumeEditing.h"

#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "presentation/TextRules.h"

#include <algorithm>

SourceVolumes::SourceVolumes(const QString& volumeList) {
    noVolume = volumeList.contains(QString(2, QChar(u'\0')));
    if (volumeList.isEmpty()) {
        entries << QString();
        return;
    }
    for (const QString& part : volumeList.split(QChar(u'\0')))
        if (!part.isEmpty())
            entries << part;
}

int SourceVolumes::names() const {
    return int(std::count_if(entries.begin(), entries.end(),
                             [](const QString& e) { return !e.isEmpty(); }));
}

bool SourceVolumes::add(const QString& text) {
    if (text.isEmpty() || !TextRules::isVolumeName(text))
        return false;
    for (const QString& e : std::as_const(entries))
        if (e.compare(text, Qt::CaseInsensitive) == 0)
            return false;
    entries << text.toUpper();
    return true;
}

bool SourceVolumes::remove(const QList<int>& rows, MessageBoxes& messages) {
    // The blank entry is no name: taking every real name away leaves nothing accepted.
    int namesLeft = names();
    for (const int row : rows)
        if (row >= 0 && row < entries.size() && !entries[row].isEmpty())
            --namesLeft;
    if (namesLeft == 0 && !noVolume) {
        messages.ask(VolumeTexts::needOne, MessageBoxes::Icon::Information,
                     MessageBoxes::Buttons::Ok);
        return false;
    }
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    for (const int row : std::as_const(sorted))
        if (row >= 0 && row < entries.size())
            entries.removeAt(row);
    return true;
}

bool SourceVolumes::setNoVolume(bool ticked, MessageBoxes& messages) {
    if (!ticked && names() == 0) {
        messages.ask(VolumeTexts::needOne, MessageBoxes::Icon::Information,
                     MessageBoxes::Buttons::Ok);
        noVolume = true;
        return true;
    }
    noVolume = ticked;
    return ticked;
}

QString SourceVolumes::result() const {
    QString text;
    for (const QString& e : entries)
        if (!e.isEmpty())
            text += e + QChar(u'\0');
    if (noVolume) {
        text += QChar(u'\0');
        if (entries.isEmpty() || names() == 0)
            text += QChar(u'\0');
    } else if (!text.isEmpty()) {
        text.chop(1);
    }
    return text;
}

std::optional<QString> retrieveVolume(const FileSystem& fso, const QString& path,
                                      MessageBoxes& messages, const QString& notReadyText) {
    const QString drive = fso.GetDriveName(path);
    if (!fso.DriveExists(drive)) {
        messages.ask(VolumeTexts::driveGone, MessageBoxes::Icon::Exclamation,
                     MessageBoxes::Buttons::Ok);
        return std::nullopt;
    }
    if (!fso.DriveIsReady(drive)) {
        messages.ask(notReadyText, MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
        return std::nullopt;
    }
    return fso.VolumeName(drive);
}

bool duplicatesDestination(const colDestinations& dests, int position, const QString& volume) {
    const auto edited = dests.Item(position);
    for (int j = 1; j <= dests.Count(); ++j) {
        if (j == position)
            continue;
        const auto other = dests.Item(j);
        if (other->Path.compare(edited->Path, Qt::CaseInsensitive) == 0 &&
            other->Volume.compare(volume, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
