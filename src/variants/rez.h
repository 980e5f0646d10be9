#pragma once

namespace dialkite {

class Console;

void RER_Ozavora(Console &console);

} // namespace dialkite
