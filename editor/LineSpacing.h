// Paragraph line spacing as the format bar handles it: a count of twentieths
// of a line (15 is 0.75 line, 20 single, 40 double), at most 255 since the
// value travels in one byte. 0 stands for single spacing.
#pragma once

#include <QTextBlockFormat>

#include <cmath>

namespace LineSpacing {
// The twentieths are kept beside Qt's line height, so they read back exactly
// whatever line-height type the paragraph carries.
constexpr int Property = QTextFormat::UserProperty + 0x51;
constexpr int Max = 255;

// The paragraph's spacing in twentieths: the kept value, else one derived
// from a proportional line height (pasted text), else 0.
inline int Twentieths(const QTextBlockFormat &format)
{
    if (format.hasProperty(Property))
        return format.intProperty(Property);
    if (format.lineHeightType() == QTextBlockFormat::ProportionalHeight)
        return qBound(0, int(std::lround(format.lineHeight() / 5.0)), Max);
    return 0;
}

// Remembers the twentieths without touching Qt's line height.
inline void Remember(QTextBlockFormat &format, int twentieths)
{
    format.setProperty(Property, qBound(0, twentieths, Max));
}

// Spacing of n/20 lines. 0 is single spacing rather than lines drawn on top
// of each other.
inline void Apply(QTextBlockFormat &format, int twentieths)
{
    const int n = qBound(0, twentieths, Max);
    if (n == 0)
        format.setLineHeight(0, QTextBlockFormat::SingleHeight);
    else
        format.setLineHeight(n * 5.0, QTextBlockFormat::ProportionalHeight);
    Remember(format, n);
}
} // namespace LineSpacing
