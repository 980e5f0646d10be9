#include "rez.h"

#include "console/console.h"

namespace dialkite {

void RER_Ozavora(Console &console) {
    console.state().RxBuffer.clear();
}

} // namespace dialkite
