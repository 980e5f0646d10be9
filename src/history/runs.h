#pragma once

// Box acceptance runs (dialkite-cli test) kept beside the calls.

#include "rows.h"

#include <QString>

namespace dialkite {

// Stores `run` in the history at `path` (made or brought up to date as needed).
bool recordRun(const QString &path, const TestRun &run, QString *problem);

} // namespace dialkite
