#pragma once

// Command frames as the console puts them on the wire, for expected values.

#include <QByteArray>

namespace dialkite::test {

inline QByteArray blanks(int n)
{
    return QByteArray(n, ' ');
}

// The 22-character frame: STX, the fields, blanks, ETX.
inline QByteArray frame22(const QByteArray &fields)
{
    return '\x02' + fields + blanks(20 - int(fields.size())) + '\x03';
}

// The 30-character REZ frame.
inline QByteArray frame30(const QByteArray &fields)
{
    return '\x02' + fields + blanks(28 - int(fields.size())) + '\x03';
}

} // namespace dialkite::test
