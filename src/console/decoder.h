#pragma once

namespace dialkite {

class Console;

// The default record format (variants "1" and "2", and any code without a decoder of
// its own).
void defaultDecoder(Console &console);

} // namespace dialkite
