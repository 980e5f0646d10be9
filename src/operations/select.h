#pragma once

#include "console/console.h"

namespace dialkite {

// Applies the operator's choice of box variant (1 to 8): saves it as DIALKITE/NUM,
// takes the code back from the settings file, shows the device name and empties the
// three logs and the identification panel. Nothing chosen changes nothing.
void Dialkite_Select(Console &console, Choice index);

// What a choice of variant `number` does, without telling watchers of a dialog (the
// reprogramming dialog ends with it too).
void switchVariant(Console &console, qint16 number);

} // namespace dialkite
