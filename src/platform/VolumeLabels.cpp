#include "platform/VolumeLabels.h"

#include <QSet>

namespace VolumeLabels {
namespace {

struct LabelRule {
    QStringList types;
    QString name;  // how the user knows the file system
    int maxLength; // in `unit`s
    enum { Bytes, Utf16, Characters } unit;
    bool asciiOnly = false;
    QString forbidden; // characters the file system refuses
};

const QList<LabelRule>& rules() {
    static const QList<LabelRule> all = {
        {{"vfat", "msdos", "fat"}, "FAT", 11, LabelRule::Bytes, true, "\"*+,./:;<=>?[\\]|"},
        {{"exfat"}, "exFAT", 15, LabelRule::Utf16, false, {}},
        {{"ext2", "ext3", "ext4"}, "ext4", 16, LabelRule::Bytes, false, {}},
        {{"xfs"}, "XFS", 12, LabelRule::Bytes, false, {}},
        {{"btrfs"}, "Btrfs", 255, LabelRule::Bytes, false, {}},
        {{"ntfs", "ntfs3", "fuseblk"}, "NTFS", 128, LabelRule::Characters, false, {}},
    };
    return all;
}

const LabelRule* ruleFor(const QString& fsType) {
    for (const LabelRule& rule : rules())
        if (rule.types.contains(fsType))
            return &rule;
    return nullptr;
}

qsizetype lengthIn(const LabelRule& rule, const QString& label) {
    switch (rule.unit) {
    case LabelRule::Bytes:
        return label.toUtf8().size();
    case LabelRule::Utf16:
        return label.size();
    case LabelRule::Characters:
        return label.toUcs4().size();
    }
    return label.size();
}

} // namespace

QString refusal(const QString& fsType, const QString& label) {
    const LabelRule* rule = ruleFor(fsType);
    if (!rule)
        return QStringLiteral("The file system of this drive (%1) cannot carry a volume name.")
            .arg(fsType.isEmpty() ? QStringLiteral("unknown") : fsType);
    for (const QChar c : label)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("A volume name cannot contain line breaks or other control "
                                  "characters.");
    if (rule->asciiOnly)
        for (const QChar c : label)
            if (c.unicode() > 0x7e)
                return QStringLiteral("A %1 drive's volume name takes only plain letters, "
                                      "digits and punctuation (no accented letters).")
                    .arg(rule->name);
    for (const QChar c : label)
        if (rule->forbidden.contains(c))
            return QStringLiteral("A %1 drive's volume name cannot contain any of these "
                                  "characters: %2")
                .arg(rule->name, rule->forbidden);
    if (lengthIn(*rule, label) > rule->maxLength)
        return QStringLiteral("The volume name is too long: a %1 drive takes at most %2 %3.")
            .arg(rule->name)
            .arg(rule->maxLength)
            .arg(rule->unit == LabelRule::Bytes && !rule->asciiOnly
                     ? QStringLiteral("bytes (accented letters take two or more)")
                     : QStringLiteral("characters"));
    return {};
}

} // namespace VolumeLabels
