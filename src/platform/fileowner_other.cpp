#include "fileowner.h"

namespace dialkite::platform {

// A replaced file on Windows takes its folder's permissions; nothing to carry over.
bool keepOwner(QFileDevice &, uint, uint)
{
    return true;
}

// Without a stable file id through Qt, the check that a history is still in place is
// left out here.
std::optional<std::pair<quint64, quint64>> fileIdentity(const QString &)
{
    return std::nullopt;
}

} // namespace dialkite::platform
