#pragma once

#include "console/console.h"

namespace dialkite {

// The dial frame fits this many characters of number; the dial field takes no more.
inline constexpr int kMaxDialLength = 18;

// Dials `phone` on line `port` ("1" to "4"): the button turns to "전화끊기".
void OutgoingProc1(Console &console, const QByteArray &phone, const QByteArray &port);
// Hangs up line `port`, sending the number dialled last.
void OutgoingProc2(Console &console, const QByteArray &port);

// "확인" of the dial dialog with line `line` (1 to 4) chosen and `number` typed: an
// empty number is refused with a message box and nothing is sent. True when the
// number was dialled and the dialog closes.
bool dialNumber(Console &console, int line, const QString &number);

} // namespace dialkite
