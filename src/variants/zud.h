#pragma once

namespace dialkite {

class Console;

void ZUD_Process(Console &console);

} // namespace dialkite
