#pragma once
// The rules of the options dialog's boxes: what each box shows for an option, which text a box
// accepts, and the advance time's step buttons.

#include "persistence/Options.h"

#include <QString>
#include <QStringView>

namespace OptionsForm {

constexpr int prevSaveLongest = 254;
constexpr int advanceLongest = 2;
constexpr int advanceMost = 99;
constexpr int advanceLeast = 1;

// What the boxes show for the stored options: the texts (the filters one entry per line) and
// the check boxes. Values an edited options file holds that a box cannot (a negative time, a
// fraction in a two-digit box, a refused character) are shown as the nearest value the box can
// hold.
OptionsEntry boxTextsOf(const Options& options);

// The number boxes take digits only.
bool isNumberText(QStringView text);
// The previous-version name takes no character a folder name cannot hold somewhere.
bool isPrevSaveText(QStringView text);

// The advance time after one press of a step button (+1 or -1): up to 99, down to 1; a value
// below 1 (typed 0) is left alone rather than going negative.
QString steppedAdvance(const QString& text, int step);

} // namespace OptionsForm
