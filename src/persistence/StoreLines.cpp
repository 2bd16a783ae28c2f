#include "persistence/StoreLines.h"

#include <charconv>
#include <cmath>
#include <string>

namespace StoreLines {
namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The numeric prefix of a line in plain ASCII, and the power of ten of its first significant
// digit, which tells an overflow from an underflow when the conversion is out of range.
struct NumericPrefix {
    std::string text;
    bool hasDigits = false;
    long long magnitude = 0;
};

NumericPrefix scanNumber(const QString& line) {
    NumericPrefix n;
    qsizetype i = 0;
    const qsizetype size = line.size();
    while (i < size && (line[i] == u' ' || line[i] == u'\t'))
        ++i;
    if (i < size && (line[i] == u'+' || line[i] == u'-')) {
        if (line[i] == u'-')
            n.text += '-';
        ++i;
    }
    long long integerDigits = 0, leadingFractionZeros = 0;
    bool significant = false;
    for (; i < size && isDigit(line[i]); ++i) {
        n.text += char(line[i].unicode());
        significant = significant || line[i] != u'0';
        integerDigits += significant ? 1 : 0;
    }
    n.hasDigits = !n.text.empty() && n.text != "-";
    if (i < size && line[i] == u'.') {
        n.text += '.';
        for (++i; i < size && isDigit(line[i]); ++i) {
            n.text += char(line[i].unicode());
            n.hasDigits = true;
            if (!significant && line[i] == u'0')
                ++leadingFractionZeros;
            significant = significant || line[i] != u'0';
        }
    }
    if (!n.hasDigits)
        return n;
    n.magnitude = integerDigits > 0 ? integerDigits - 1 : -(leadingFractionZeros + 1);
    // An exponent counts only when digits follow its letter (and optional sign).
    if (i < size && (line[i] == u'e' || line[i] == u'E' || line[i] == u'd' || line[i] == u'D')) {
        qsizetype j = i + 1;
        bool negative = false;
        if (j < size && (line[j] == u'+' || line[j] == u'-'))
            negative = line[j++] == u'-';
        if (j < size && isDigit(line[j])) {
            long long exponent = 0;
            std::string digits;
            for (; j < size && isDigit(line[j]); ++j) {
                digits += char(line[j].unicode());
                exponent = std::min(exponent * 10 + line[j].digitValue(), 1000000000LL);
            }
            n.text += negative ? "e-" : "e";
            n.text += digits;
            n.magnitude += negative ? -exponent : exponent;
        }
    }
    return n;
}

} // namespace

QString flag(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

bool isTrue(const QString& line) {
    return line == u"1";
}

std::optional<double> leadingNumber(const QString& line) {
    const NumericPrefix n = scanNumber(line);
    if (!n.hasDigits)
        return 0.0;
    double value = 0;
    const char* begin = n.text.data();
    const auto [end, error] = std::from_chars(begin, begin + n.text.size(), value);
    if (error == std::errc::result_out_of_range)
        return n.magnitude > 0 ? std::nullopt : std::optional<double>(0.0);
    if (error != std::errc())
        return 0.0;
    return value;
}

std::optional<qint16> toInt16(double value) {
    const double rounded = std::nearbyint(value); // the default rounding mode: half to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return std::nullopt;
    return qint16(rounded);
}

QString trimSpaces(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace StoreLines
