#pragma once

namespace dialkite {

class Console;

void Multi_Process(Console &console);

} // namespace dialkite
