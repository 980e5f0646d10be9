#pragma once

namespace dialkite {

class Console;

// Decodes the record in RxBuffer of the multi-line format (variants "7" and "8").
void Multi_Process(Console &console);

} // namespace dialkite
