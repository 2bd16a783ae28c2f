#pragma once
// How well text of one colour reads on another: the ratio of their relative luminance (1 for the
// same colour, 21 for black on white; small text wants 4.5), and a dark desktop palette.

#include <QColor>
#include <QPalette>
#include <algorithm>
#include <cmath>

inline double contrastRatio(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Light text on a dark window, as a dark desktop theme gives.
inline QPalette darkPalette() {
    return QPalette(QColor(0x35, 0x35, 0x35));
}
