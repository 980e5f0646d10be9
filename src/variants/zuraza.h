#pragma once

namespace dialkite {

class Console;

// Called when line `line` (1 to 4) has received its end byte and "E" has been appended
// to its line buffer.
void ZURAZA_ProcessLine(Console &console, int line);

} // namespace dialkite
