#pragma once

#include "console/recordsink.h"
#include "console/variant.h"

namespace dialkite {

// Decodes a record of the multi-line format (variants "7" and "8").
void Multi_Process(const Record &record, RecordSink &sink);

} // namespace dialkite
