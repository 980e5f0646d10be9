#pragma once

// How much an output's news matters to the operator: a notice, a problem the output works
// around, or the output has stopped.

#include <QMetaType>

namespace dialkite {

enum class Severity { Notice, Problem, Stopped };

} // namespace dialkite

Q_DECLARE_METATYPE(dialkite::Severity)
