#include "presentation/OptionsForm.h"

#include "persistence/SchemeFiles.h"
#include "persistence/StoreLines.h"

#include <cmath>

namespace OptionsForm {

namespace {

QString numberText(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

bool isControl(QChar c) {
    return c.category() == QChar::Other_Control;
}

QString filterBoxText(QString option) {
    return option.replace(u'|', u'\n');
}

} // namespace

OptionsEntry boxTextsOf(const Options& options) {
    OptionsEntry texts;
    texts.checkBoxes = options;
    // A timeout of 0 or less would give up on a busy file at once; saving makes it 1.
    texts.BusyTimeout = options.BusyTimeout > 0 ? numberText(options.BusyTimeout) : "1";
    for (const QChar c : options.PrevSaveName)
        if (!SchemeFiles::isRefusedNameCharacter(c) && !isControl(c))
            texts.PrevSaveName += c;
    texts.PrevSaveName = texts.PrevSaveName.trimmed().left(prevSaveLongest);
    if (texts.PrevSaveName.isEmpty())
        texts.PrevSaveName = defaultPrevSaveName;
    const double advance = std::isfinite(options.AdvanceSeconds) ? options.AdvanceSeconds : 0;
    texts.AdvanceSeconds = QString::number(std::clamp(qRound64(std::clamp(advance, -1e9, 1e9)),
                                                      qint64(advanceLeast), qint64(advanceMost)));
    texts.FilterPrefixes = filterBoxText(options.FilterPrefixes);
    texts.FilterSuffixes = filterBoxText(options.FilterSuffixes);
    return texts;
}

bool isNumberText(QStringView text) {
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool isPrevSaveText(QStringView text) {
    for (const QChar c : text)
        if (SchemeFiles::isRefusedNameCharacter(c) || isControl(c))
            return false;
    return true;
}

QString steppedAdvance(const QString& text, int step) {
    const double value = StoreLines::leadingNumber(text).value_or(0);
    if (step > 0 && value >= advanceMost)
        return text;
    if (step < 0 && value <= advanceLeast)
        return text;
    return numberText(value + step);
}

} // namespace OptionsForm
