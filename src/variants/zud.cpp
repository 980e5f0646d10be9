#include "zud.h"

#include "console/console.h"

namespace dialkite {

void ZUD_Process(Console &console) {
    console.state().RxBuffer.clear();
}

} // namespace dialkite
