#include "persistence/Options.h"

#include "persistence/StoreLines.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

#include <QStringList>
#include <array>
#include <variant>

namespace {

constexpr double DefaultBusyTimeout = 30;
constexpr double DefaultAdvanceSeconds = 3;
// A busy timeout that reads as 0 would give up on a busy file at once.
constexpr double BusyTimeoutForZero = 1;
// The popup's advance time is divided by the queue length; it must stay positive.
constexpr double ShortestAdvanceSeconds = 0.001;
const QString ShortestAdvanceText = QStringLiteral("0.001");

using OptionField = std::variant<double Options::*, bool Options::*, QString Options::*>;

// The 25 lines of opts, in file order.
const std::array<OptionField, 25> OptsLines = {
    &Options::BusyTimeout,         &Options::ShowSplash,
    &Options::PrevSaveName,        &Options::NotifySuccessDisabled,
    &Options::NotifyErrorDisabled, &Options::TrayNod,
    &Options::TrayShake,           &Options::TrayShrug,
    &Options::ShowScanning,        &Options::NotifySourceBusy,
    &Options::FullSource,          &Options::FullDest,
    &Options::AutoAdvance,         &Options::AdvanceSeconds,
    &Options::ErrorNoSource,       &Options::ErrorSourceVol,
    &Options::ErrorNoDest,         &Options::ErrorCreateFolder,
    &Options::ErrorDestVol,        &Options::ErrorCopyFailed,
    &Options::ErrorPrevSave,       &Options::ErrorLoop,
    &Options::UseFilters,          &Options::FilterPrefixes,
    &Options::FilterSuffixes,
};

template <class... Ts> struct Overloaded : Ts... { using Ts::operator()...; };
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

QString trimSpaces(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

// A typed number; a text too large to hold counts as no number, like an empty one.
double typedNumber(const QString& text) {
    return StoreLines::leadingNumber(text).value_or(0);
}

// One filter line from the box's text: each line break separates two entries with "|".
QString filterLine(const QString& boxText) {
    QString line = trimSpaces(boxText);
    line.replace(QStringLiteral("\r\n"), QStringLiteral("|"));
    line.replace(u'\r', u'|');
    line.replace(u'\n', u'|');
    return line;
}

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

// One opts line; the numbers are written as typed, not as stored.
QString lineOf(const Options& options, const OptionField& field, const QString& busyLine,
               const QString& advanceLine) {
    return std::visit(
        Overloaded{[&](double Options::*number) {
                       return number == &Options::BusyTimeout ? busyLine : advanceLine;
                   },
                   [&](bool Options::*flag) { return StoreLines::flag(options.*flag); },
                   [&](QString Options::*text) { return options.*text; }},
        field);
}

void takeCheckBoxes(Options& options, const OptionsEntry& typed) {
    for (const OptionField& field : OptsLines)
        if (const auto flag = std::get_if<bool Options::*>(&field))
            options.** flag = typed.checkBoxes.**flag;
}

} // namespace

void Options::setDefaults() {
    BusyTimeout = DefaultBusyTimeout;
    PrevSaveName = DefaultPrevSaveName;
    NotifySuccessDisabled = false;
    NotifyErrorDisabled = false;
    TrayNod = true;
    TrayShake = true;
    TrayShrug = true;
    ShowScanning = false;
    NotifySourceBusy = true;
    FullSource = false;
    FullDest = false;
    AutoAdvance = true;
    AdvanceSeconds = DefaultAdvanceSeconds;
    ErrorNoSource = true;
    ErrorSourceVol = true;
    ErrorNoDest = true;
    ErrorCreateFolder = true;
    ErrorDestVol = true;
    ErrorCopyFailed = true;
    ErrorPrevSave = true;
    ErrorLoop = true;
    UseFilters = false;
    FilterPrefixes.clear();
    FilterSuffixes.clear();
}

bool isUsablePrevSaveName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(Paths::separator()) &&
           !name.contains(QChar(0));
}

QString usablePrevSaveName(const QString& name) {
    return isUsablePrevSaveName(name) ? name : DefaultPrevSaveName;
}

namespace {

void readOptionsFile(Options& options, const QString& path) {
    // What the file does not say, or says in a way that cannot be read, keeps its default: a
    // short or damaged file must not turn off the error notices or the busy retries.
    options.setDefaults();
    const auto lines = TextFile::readLines(path);
    if (!lines)
        return;
    const qsizetype available = std::min<qsizetype>(lines->size(), OptsLines.size());
    for (qsizetype i = 0; i < available; ++i)
        if (!readLine(options, OptsLines[std::size_t(i)], lines->at(i)))
            return;
}

} // namespace

void loadOptions(Options& options, const QString& folder) {
    readOptionsFile(options, folder + u'/' + OptionsFile);
    options.PrevSaveName = usablePrevSaveName(options.PrevSaveName);
}

TextFile::WriteResult saveOptions(Options& options, const OptionsEntry& typed,
                                  const QString& folder) {
    QString busyLine = trimSpaces(typed.BusyTimeout);
    options.BusyTimeout = typedNumber(busyLine);
    if (options.BusyTimeout == 0) {
        options.BusyTimeout = BusyTimeoutForZero;
        busyLine = QString::number(BusyTimeoutForZero);
    }

    // Blank, or a name that would lead out of the destination ("..", "."): the default.
    options.PrevSaveName = usablePrevSaveName(trimSpaces(typed.PrevSaveName));

    QString advanceLine = trimSpaces(typed.AdvanceSeconds);
    options.AdvanceSeconds = typedNumber(advanceLine);
    if (options.AdvanceSeconds <= ShortestAdvanceSeconds) {
        options.AdvanceSeconds = ShortestAdvanceSeconds;
        advanceLine = ShortestAdvanceText;
    }

    options.FilterPrefixes = filterLine(typed.FilterPrefixes);
    options.FilterSuffixes = filterLine(typed.FilterSuffixes);
    takeCheckBoxes(options, typed);

    QStringList lines;
    for (const OptionField& field : OptsLines)
        lines << lineOf(options, field, busyLine, advanceLine);
    return TextFile::writeAtomically(folder + u'/' + OptionsFile, TextFile::encodeLines(lines));
}
