#pragma once

// Caller numbers of every length a box reports, with the text the caller-ID log must
// show for them, grouped by hand.

#include <QByteArray>
#include <QString>

namespace dialkite::test {

struct NumberCase {
    QByteArray digits;
    QString shown;
};

inline const NumberCase kNumberCases[] = {
    {"021234567", QStringLiteral("02-123-4567")},
    {"0212345678", QStringLiteral("02-1234-5678")},
    {"0311234567", QStringLiteral("031-123-4567")},
    {"01012345678", QStringLiteral("010-1234-5678")},
    {"12345678", QStringLiteral("1234-5678")},
    {"12345678901", QStringLiteral("1-234-567-8901")},
    {"123456789012", QStringLiteral("12-345-678-9012")},
};

// A number field blank filled to twelve places, as the fixed-width formats send it.
inline QByteArray blankFilled(const QByteArray &digits)
{
    return digits + QByteArray(12 - digits.size() + 2, ' ');
}

} // namespace dialkite::test
