#pragma once

// Tests put the console into states that would take thousands of records to reach
// (a row counter at 9999, a flag already set); only they reach its state directly.

#include "console/console.h"

namespace dialkite {

struct ConsoleTestAccess {
    static ConsoleState &state(Console &console) { return console.m_state; }
};

} // namespace dialkite
