#pragma once

#include "console/console.h"

namespace dialkite {

// The "장비확인" button: sends the identification request of the selected variant.
void ReadIdentification_Click(Console &console);

} // namespace dialkite
