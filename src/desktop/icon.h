#pragma once

// The program's kite, as packaging/dialkite.svg draws it, for the window's icon: drawn here
// so that no image plugin is needed to show it.

#include <QIcon>

namespace dialkite {

QIcon kiteIcon();

} // namespace dialkite
