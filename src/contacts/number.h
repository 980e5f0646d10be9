#pragma once

// Telephone numbers as Korean numbers are dialled: "+82 10-1234-5678", "010-1234-5678" and
// "01012345678" are one number. A number's key is its digits as dialled from inside the
// country; area codes, 1588-style numbers and internal extensions stay as they are, and a
// number of another country keeps its "+" and country code.

#include <QString>

namespace dialkite::contacts {

// The number's key ("01012345678"), or "" when `text` is not a telephone number (letters,
// nothing but separators, more than 20 digits, fewer than 2).
QString numberKey(const QString &text);

} // namespace dialkite::contacts
