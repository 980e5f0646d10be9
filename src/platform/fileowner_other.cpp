#include "fileowner.h"

namespace dialkite::platform {

// A replaced file on Windows takes its folder's permissions; nothing to carry over.
bool keepOwner(QFileDevice &, uint, uint)
{
    return true;
}

} // namespace dialkite::platform
