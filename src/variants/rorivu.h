#pragma once

namespace dialkite {

class Console;

void RORIVU_Process(Console &console);

} // namespace dialkite
