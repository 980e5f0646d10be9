#include "number.h"

namespace dialkite::contacts {

namespace {

constexpr int kShortest = 2;       // an internal extension: "21"
constexpr int kLongest = 20;       // more than any number a box reports
constexpr int kShortestAbroad = 4; // a country code and a few digits

bool separator(QChar c)
{
    // Spaces, dashes of every kind, dots, brackets and slashes people write between groups.
    return c.isSpace() || c == u'-' || c == u'.' || c == u'(' || c == u')' || c == u'/' ||
           c == QChar(0x2010) || c == QChar(0x2011) || c == QChar(0x2012) || c == QChar(0x2013) ||
           c == QChar(0x2014) || c == QChar(0x2212) || c == QChar(0xFF0D);
}

} // namespace

QString numberKey(const QString &text)
{
    QString digits;
    bool plus = false;
    for (const QChar c : text) {
        if (separator(c))
            continue;
        if (c == u'+' && digits.isEmpty() && !plus) {
            plus = true;
            continue;
        }
        // Full-width digits (from a spreadsheet typed in Korean) are digits too.
        const int value = c.digitValue();
        if (value < 0 || (c.unicode() >= 128 && (c.unicode() < 0xFF10 || c.unicode() > 0xFF19)))
            return {};
        digits += QChar(u'0' + value);
    }
    // "0082" is "+82" dialled from a Korean line.
    if (!plus && digits.startsWith(QLatin1String("0082"))) {
        plus = true;
        digits.remove(0, 2);
    }
    if (plus) {
        // Another country's: its code and a number after it.
        if (!digits.startsWith(QLatin1String("82")))
            return digits.size() >= kShortestAbroad && digits.size() <= kLongest ? u'+' + digits
                                                                                 : QString();
        digits.remove(0, 2);
        // "+82 (0)10 ...": the trunk 0 written as well.
        if (!digits.startsWith(u'0'))
            digits.prepend(u'0');
    }
    if (digits.size() < kShortest || digits.size() > kLongest)
        return {};
    return digits;
}

} // namespace dialkite::contacts
