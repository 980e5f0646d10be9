#include "zuraza.h"

#include "console/console.h"

namespace dialkite {

void ZURAZA_ProcessLine(Console &console, int line) {
    console.state().LineBuffer[line - 1].clear();
}

} // namespace dialkite
