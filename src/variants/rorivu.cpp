#include "rorivu.h"

#include "console/console.h"

namespace dialkite {

void RORIVU_Process(Console &console) {
    console.state().RxBuffer.clear();
}

} // namespace dialkite
