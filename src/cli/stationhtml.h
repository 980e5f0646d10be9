#pragma once

// A test station's page, served by the test itself.

namespace dialkite::cli::stationhtml {

extern const char kIndex[];
extern const char kScript[];
extern const char kStyle[];

} // namespace dialkite::cli::stationhtml
