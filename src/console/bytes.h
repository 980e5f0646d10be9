#pragma once

// Records are bytes. The box's record tables count positions from 1; these accessors
// do the same and read past the end as the empty text, so a short record yields short
// or empty fields instead of an out-of-range read.

#include <QByteArray>
#include <QString>

namespace dialkite {

inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;

// The `length` bytes of `record` from 1-based `position`; fewer (or none) where the
// record is shorter.
inline QByteArray at(const QByteArray &record, qsizetype position, qsizetype length = 1)
{
    if (position < 1 || length < 1 || position > record.size())
        return {};
    return record.mid(position - 1, length);
}

// One byte b shows as the character U+00b.
inline QString screenText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace dialkite
