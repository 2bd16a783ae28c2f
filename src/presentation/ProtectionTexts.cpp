#include "presentation/ProtectionTexts.h"

#include "platform/DateTimeText.h"
#include "platform/Paths.h"
#include "presentation/TrayTexts.h"

#include <QLocale>
#include <algorithm>

namespace ProtectionTexts {

namespace {

const QString dash = QStringLiteral(" \u2014 ");
constexpr qint64 secsPerMinute = 60;
constexpr qint64 secsPerHour = 3600;
constexpr qint64 secsPerDay = 24 * secsPerHour;

// "5 min", "3 h", "2 days": the largest unit that fits, counted down.
QString span(qint64 secs) {
    if (secs < secsPerHour)
        return QStringLiteral("%1 min").arg(std::max<qint64>(secs / secsPerMinute, 1));
    if (secs < secsPerDay)
        return QStringLiteral("%1 h").arg(secs / secsPerHour);
    const qint64 days = secs / secsPerDay;
    return days == 1 ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(days);
}

QString countOf(qsizetype count, const char* one, const char* many) {
    return QString::number(count) + u' ' + QLatin1String(count == 1 ? one : many);
}

// " for 3 days"; nothing for what began under a minute ago.
QString forHowLong(const QDateTime& since, const QDateTime& now) {
    if (!since.isValid() || since.secsTo(now) < secsPerMinute)
        return {};
    return QStringLiteral(" for ") + lasted(since, now);
}

// The destination's trouble as a tray line reads it: "BACKUP_B not connected for 3 days".
QString troubleBrief(const DestinationState& destination, const QDateTime& now) {
    return destinationName(destination) + u' ' + troubleName(destination.trouble) +
           forHowLong(destination.since, now);
}

const DestinationState* firstTrouble(const AssociationState& state) {
    const auto& destinations = state.destinations;
    const auto found = std::find_if(destinations.begin(), destinations.end(),
                                    [](const auto& d) { return d.trouble != Trouble::None; });
    return found == destinations.end() ? nullptr : &*found;
}

} // namespace

QString stateName(Protection protection) {
    switch (protection) {
    case Protection::Protected:
        return QStringLiteral("Protected");
    case Protection::Pending:
        return QStringLiteral("Pending");
    case Protection::Behind:
        return QStringLiteral("Behind");
    case Protection::Paused:
        return QStringLiteral("Paused");
    case Protection::NoDestination:
        return QStringLiteral("No destination");
    case Protection::Disabled:
        return QStringLiteral("Disabled");
    case Protection::SourceMissing:
        break;
    }
    return QStringLiteral("Source missing");
}

QString troubleName(Trouble trouble) {
    switch (trouble) {
    case Trouble::None:
        return QStringLiteral("ok");
    case Trouble::NotConnected:
        return QStringLiteral("not connected");
    case Trouble::OtherDisk:
        return QStringLiteral("another disk in its place");
    case Trouble::ReadOnly:
        return QStringLiteral("read-only");
    case Trouble::Full:
        return QStringLiteral("full");
    case Trouble::Failing:
        return QStringLiteral("failing");
    case Trouble::NotResponding:
        break;
    }
    return QStringLiteral("not responding");
}

QString ago(const QDateTime& then, const QDateTime& now) {
    if (!then.isValid())
        return DateTimeText::never;
    const qint64 secs = std::max<qint64>(then.secsTo(now), 0);
    if (secs < secsPerMinute)
        return QStringLiteral("just now");
    return span(secs) + QStringLiteral(" ago");
}

QString lasted(const QDateTime& since, const QDateTime& now) {
    return span(std::max<qint64>(since.secsTo(now), 0));
}

QString moment(const QDateTime& when, const QDateTime& now) {
    const QLocale locale = QLocale::system();
    if (when.date() == now.date())
        return locale.toString(when, QStringLiteral("HH:mm"));
    if (when.date().year() == now.date().year())
        return locale.toString(when, QStringLiteral("d MMM HH:mm"));
    return locale.toString(when, QStringLiteral("d MMM yyyy HH:mm"));
}

// A disk without a label is known by its UUID, which tells a person nothing: its folder does.
QString destinationName(const DestinationState& destination) {
    const bool labelled =
        !destination.volume.isEmpty() && !destination.volume.startsWith(QLatin1String("UUID="));
    return Paths::displayName(labelled ? destination.volume : destination.path);
}

QString destinationLine(const DestinationState& destination, const QDateTime& now) {
    QString line = destinationName(destination) + QStringLiteral(": ");
    if (destination.trouble == Trouble::None) {
        line += troubleName(Trouble::None);
        if (destination.lastCopy.isValid())
            line += QStringLiteral(", last copy ") + ago(destination.lastCopy, now);
        return line;
    }
    line += troubleName(destination.trouble);
    if (destination.since.isValid())
        line += QStringLiteral(" since ") + moment(destination.since, now);
    if (destination.filesWaiting > 0)
        line += QStringLiteral(", ") + countOf(destination.filesWaiting, "file", "files") +
                QStringLiteral(" waiting");
    return line;
}

QString destinationsToolTip(const AssociationState& state, const QDateTime& now) {
    if (state.destinations.empty())
        return QStringLiteral("No destination: nothing is backed up");
    QStringList lines;
    for (const DestinationState& destination : state.destinations)
        lines << destinationLine(destination, now);
    return lines.join(u'\n');
}

QString statusLine(const AssociationState& state, const QDateTime& now) {
    QString line = Paths::displayName(state.sourcePath) + QStringLiteral(": ") +
                   stateName(state.protection).toLower() + QStringLiteral(", last backup ") +
                   ago(state.lastBackup, now).toLower();
    for (const DestinationState& destination : state.destinations)
        line += QStringLiteral("; ") + destinationLine(destination, now);
    return line;
}

bool troubled(const AssociationState& state) {
    switch (state.protection) {
    case Protection::Behind:
    case Protection::NoDestination:
    case Protection::SourceMissing:
        return true;
    case Protection::Paused:
        return firstTrouble(state) != nullptr;
    default:
        return false;
    }
}

TrayLook trayLook(const StatusTally& tally, bool paused) {
    if (paused)
        return tally.troubled ? TrayLook::PausedWarning : TrayLook::Paused;
    return tally.troubled ? TrayLook::Warning : TrayLook::Normal;
}

QString trayToolTip(const StatusTally& tally, bool paused, const QDateTime& pausedSince,
                    const QDateTime& now) {
    QStringList lines{TrayTexts::toolTip};
    if (paused)
        lines << QStringLiteral("Paused") + forHowLong(pausedSince, now);
    if (tally.firstBehind) {
        QString line = QString::number(tally.behind) + QStringLiteral(" behind: ") +
                       troubleBrief(*firstTrouble(*tally.firstBehind), now);
        if (tally.behind > 1)
            line += QStringLiteral(", \u2026");
        lines << line;
    }
    if (tally.noDestination > 0)
        lines << QString::number(tally.noDestination) + QStringLiteral(" without a destination");
    if (tally.sourceMissing > 0)
        lines << QString::number(tally.sourceMissing) + QStringLiteral(" with the source missing");
    if (tally.associations == 0) {
        lines << QStringLiteral("No backups set up yet");
    } else if (tally.enabled == 0) {
        lines << QStringLiteral("No backup is enabled");
    } else if (tally.fine > 0) {
        QString line =
            tally.fine == tally.enabled
                ? QStringLiteral("All %1 backed up").arg(tally.fine)
                : QStringLiteral("%1 of %2 backed up").arg(tally.fine).arg(tally.enabled);
        if (tally.pending > 0)
            line += QStringLiteral(", %1 pending").arg(tally.pending);
        if (tally.lastCopy.isValid())
            line += dash + QStringLiteral("last copy ") + ago(tally.lastCopy, now);
        lines << line;
    }
    return lines.join(u'\n');
}

QString pausedBody(bool restoredAtStart, const QDateTime& since, const QDateTime& now) {
    const QString resume = QStringLiteral("Nothing is backed up until \"Resume\" in the tray menu "
                                          "or \"Unpause Program\" resumes it.");
    if (restoredAtStart)
        return QStringLiteral("It was paused when it last ended. ") + resume;
    return QStringLiteral("It has been paused for ") + lasted(since, now) + QStringLiteral(". ") +
           resume;
}

QString noDestinationLine(const AssociationState& state) {
    return Paths::displayName(state.sourcePath) + QStringLiteral(" has no destination.");
}

QString behindSummary(int associations) {
    return associations == 1 ? QStringLiteral("A backup is behind")
                             : QStringLiteral("%1 backups are behind").arg(associations);
}

QString behindLine(const AssociationState& state, const QDateTime& now) {
    QStringList troubles;
    for (const DestinationState& destination : state.destinations)
        if (destination.trouble != Trouble::None)
            troubles << destinationLine(destination, now);
    return Paths::displayName(state.sourcePath) + QStringLiteral(": ") +
           troubles.join(QStringLiteral("; "));
}

} // namespace ProtectionTexts
