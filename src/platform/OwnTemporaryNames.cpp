#include "platform/OwnTemporaryNames.h"

#include <QRandomGenerator>

namespace {

constexpr char prefix[] = ".quillmot-";
constexpr char suffix[] = ".tmp";
constexpr qsizetype prefixLength = sizeof(prefix) - 1;
constexpr qsizetype suffixLength = sizeof(suffix) - 1;
// A random 64-bit number in hexadecimal, padded: every name of ours has the same length.
constexpr int digitCount = 16;
constexpr int hexBase = 16;

bool isLowerHexDigit(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// `at(i)` gives the i-th character of a name of `length` characters, whatever its encoding: the
// rule only holds ASCII, and a byte or a UTF-16 unit of a multi-byte character never matches it.
template <class At> bool followsRule(qsizetype length, At at) {
    if (length != prefixLength + digitCount + suffixLength)
        return false;
    for (qsizetype i = 0; i < prefixLength; ++i)
        if (at(i) != char32_t(prefix[i]))
            return false;
    for (qsizetype i = 0; i < suffixLength; ++i)
        if (at(prefixLength + digitCount + i) != char32_t(suffix[i]))
            return false;
    for (qsizetype i = prefixLength; i < prefixLength + digitCount; ++i)
        if (!isLowerHexDigit(at(i)))
            return false;
    return true;
}

} // namespace

namespace OwnTemporaryNames {

QString fresh() {
    const QString digits = QString::number(QRandomGenerator::global()->generate64(), hexBase);
    return QLatin1String(prefix) + digits.rightJustified(digitCount, QLatin1Char('0')) +
           QLatin1String(suffix);
}

bool matches(QStringView name) {
    return followsRule(name.size(), [&](qsizetype i) { return char32_t(name[i].unicode()); });
}

bool matches(QByteArrayView nativeName) {
    return followsRule(nativeName.size(),
                       [&](qsizetype i) { return char32_t(uchar(nativeName[i])); });
}

} // namespace OwnTemporaryNames
