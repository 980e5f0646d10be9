#include "multiline.h"

#include "console/console.h"

namespace dialkite {

void Multi_Process(Console &console) {
    console.state().RxBuffer.clear();
}

} // namespace dialkite
