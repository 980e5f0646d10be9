#pragma once

namespace dialkite {

class Console;

// Decodes the record in RxBuffer of the ZUD format (variant "6").
void ZUD_Process(Console &console);

} // namespace dialkite
