#pragma once

#include "console/console.h"

namespace dialkite {

// Reprograms the box to variant 1 to 6 and switches the console to it. Nothing chosen
// sends and changes nothing.
void Dialkite_change(Console &console, Choice index);

} // namespace dialkite
