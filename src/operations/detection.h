#pragma once

#include "console/console.h"

namespace dialkite {

// "상태 읽어오기": asks the box for its hook/ring detection setting. The answer shows in
// the detection panel when it comes.
void readDetection(Console &console);

// Sets hook/ring detection by the dialog's option 1 to 3 (digit 0 to 2: none, hook,
// hook and ring). Nothing chosen sends nothing.
void Status_Change(Console &console, Choice index);

} // namespace dialkite
