#pragma once

#include "console/console.h"

namespace dialkite {

// Sets the box's speaker to level 0 to 3 (off, low, medium, high). Nothing chosen
// sends nothing.
void Volume_Select(Console &console, Choice index);

} // namespace dialkite
