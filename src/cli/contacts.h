#pragma once

// dialkite-cli contacts: the phonebook of a call history, from the command line.

#include "console/cmdline.h"

namespace dialkite::cli {

cmdline::Command contactsSyntax();

} // namespace dialkite::cli
