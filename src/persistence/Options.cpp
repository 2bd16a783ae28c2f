#include "persistence/Options.h"

#include "persistence/StoreLines.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

#include <QStringList>
#include <array>
#include <optional>
#include <variant>

namespace {

// A busy timeout that reads as 0 would give up on a busy file at once.
constexpr double busyTimeoutForZero = 1;
// The popup's advance time is divided by the queue length; it must stay positive.
constexpr double shortestAdvanceSeconds = 0.001;
const QString shortestAdvanceText = QStringLiteral("0.001");

using OptionField = std::variant<double Options::*, bool Options::*, QString Options::*>;

// A typed number; a text too large to hold counts as no number, like an empty one.
double typedNumber(const QString& text) {
    return StoreLines::leadingNumber(text).value_or(0);
}

QString busyTimeoutLine(const QString& typed) {
    const QString line = StoreLines::trimSpaces(typed);
    return typedNumber(line) == 0 ? QString::number(busyTimeoutForZero) : line;
}

// Blank, or a name that would lead out of the destination ("..", "."): the default.
QString prevSaveLine(const QString& typed) {
    return usablePrevSaveName(StoreLines::trimSpaces(typed));
}

QString advanceLine(const QString& typed) {
    const QString line = StoreLines::trimSpaces(typed);
    return typedNumber(line) <= shortestAdvanceSeconds ? shortestAdvanceText : line;
}

// One filter line from the box's text: each line break separates two entries with "|".
QString filterLine(const QString& boxText) {
    QString line = StoreLines::trimSpaces(boxText);
    line.replace(QStringLiteral("\r\n"), QStringLiteral("|"));
    line.replace(u'\r', u'|');
    line.replace(u'\n', u'|');
    return line;
}

// One option: its member, its default written as its opts line (none: the value is kept), and
// for a typed box the box and how its text becomes the stored line (trimmed, and a value that
// cannot apply replaced). The check boxes are stored as they are.
struct OptionLine {
    OptionField member;
    std::optional<QString> byDefault;
    QString OptionsEntry::*typed = nullptr;
    QString (*normalise)(const QString&) = nullptr;
};

// Every option, in the order of the lines of opts. Made on first use, after the texts it names.
const std::array<OptionLine, 25>& optsLines() {
    static const std::array<OptionLine, 25> lines = {{
        {&Options::BusyTimeout, "30", &OptionsEntry::BusyTimeout, busyTimeoutLine},
        {&Options::ShowSplash, std::nullopt},
        {&Options::PrevSaveName, defaultPrevSaveName, &OptionsEntry::PrevSaveName, prevSaveLine},
        {&Options::NotifySuccessDisabled, "0"},
        {&Options::NotifyErrorDisabled, "0"},
        {&Options::TrayNod, "1"},
        {&Options::TrayShake, "1"},
        {&Options::TrayShrug, "1"},
        {&Options::ShowScanning, "0"},
        {&Options::NotifySourceBusy, "1"},
        {&Options::FullSource, "0"},
        {&Options::FullDest, "0"},
        {&Options::AutoAdvance, "1"},
        {&Options::AdvanceSeconds, "3", &OptionsEntry::AdvanceSeconds, advanceLine},
        {&Options::ErrorNoSource, "1"},
        {&Options::ErrorSourceVol, "1"},
        {&Options::ErrorNoDest, "1"},
        {&Options::ErrorCreateFolder, "1"},
        {&Options::ErrorDestVol, "1"},
        {&Options::ErrorCopyFailed, "1"},
        {&Options::ErrorPrevSave, "1"},
        {&Options::ErrorLoop, "1"},
        {&Options::UseFilters, "0"},
        {&Options::FilterPrefixes, "", &OptionsEntry::FilterPrefixes, filterLine},
        {&Options::FilterSuffixes, "", &OptionsEntry::FilterSuffixes, filterLine},
    }};
    return lines;
}

template <class... Ts> struct Overloaded : Ts... { using Ts::operator()...; };
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

// Stores one opts line in its option; false when a number is too large, which ends the reading.
bool readLine(Options& options, const OptionField& field, const QString& line) {
    return std::visit(Overloaded{[&](double Options::*number) {
                                     const auto value = StoreLines::leadingNumber(line);
                                     if (value)
                                         options.*number = *value;
                                     return value.has_value();
                                 },
                                 [&](bool Options::*flag) {
                                     options.*flag = StoreLines::isTrue(line);
                                     return true;
                                 },
                                 [&](QString Options::*text) {
                                     options.*text = line;
                                     return true;
                                 }},
                      field);
}

// The stored line of one option as the dialog gave it.
QString typedLine(const OptionLine& option, const OptionsEntry& typed) {
    if (option.typed)
        return option.normalise(typed.*option.typed);
    return StoreLines::flag(typed.checkBoxes.*std::get<bool Options::*>(option.member));
}

} // namespace

void Options::setDefaults() {
    for (const OptionLine& option : optsLines())
        if (option.byDefault)
            readLine(*this, option.member, *option.byDefault);
}

bool isUsablePrevSaveName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(Paths::separator()) &&
           !name.contains(QChar(0));
}

QString usablePrevSaveName(const QString& name) {
    return isUsablePrevSaveName(name) ? name : defaultPrevSaveName;
}

namespace {

void readOptionsFile(Options& options, const QString& path) {
    // What the file does not say, or says in a way that cannot be read, keeps its default: a
    // short or damaged file must not turn off the error notices or the busy retries.
    options.setDefaults();
    const auto lines = TextFile::readLines(path);
    if (!lines)
        return;
    const auto& optionLines = optsLines();
    const qsizetype available = std::min(lines->size(), qsizetype(optionLines.size()));
    for (qsizetype i = 0; i < available; ++i)
        if (!readLine(options, optionLines[std::size_t(i)].member, lines->at(i)))
            return;
}

} // namespace

void loadOptions(Options& options, const QString& folder) {
    readOptionsFile(options, Paths::join(folder, optionsFile));
    options.PrevSaveName = usablePrevSaveName(options.PrevSaveName);
}

TextFile::WriteResult saveOptions(Options& options, const OptionsEntry& typed,
                                  const QString& folder) {
    // Each option takes the value of the line written for it, so what applies now is what the
    // next start reads.
    QStringList lines;
    for (const OptionLine& option : optsLines()) {
        lines << typedLine(option, typed);
        readLine(options, option.member, lines.constLast());
    }
    return TextFile::writeAtomically(Paths::join(folder, optionsFile),
                                     TextFile::encodeLines(lines));
}
