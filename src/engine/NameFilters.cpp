#include "engine/NameFilters.h"

#include "persistence/StoreLines.h"

#include <QStringList>
#include <algorithm>

namespace {

const QChar filterSeparator = QLatin1Char('|');

// True when one of the "|"-separated pieces of `list` matches `name` by `test`. Blank pieces,
// and pieces longer than the name, match nothing.
template <class Test> bool anyPieceMatches(const QString& list, const QString& name, Test test) {
    const QStringList pieces = list.split(filterSeparator);
    return std::any_of(pieces.begin(), pieces.end(), [&](const QString& raw) {
        const QString piece = StoreLines::trimSpaces(raw);
        return !piece.isEmpty() && piece.size() <= name.size() && test(name, piece);
    });
}

} // namespace

bool passesFilters(const Options& options, const QString& fileName) {
    if (!options.UseFilters)
        return true;
    const auto begins = [](const QString& name, const QString& piece) {
        return name.startsWith(piece, Qt::CaseInsensitive);
    };
    const auto ends = [](const QString& name, const QString& piece) {
        return name.endsWith(piece, Qt::CaseInsensitive);
    };
    return !anyPieceMatches(options.FilterPrefixes, fileName, begins) &&
           !anyPieceMatches(options.FilterSuffixes, fileName, ends);
}
