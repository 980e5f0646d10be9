#pragma once

#include "console/recordsink.h"
#include "console/variant.h"

namespace dialkite {

// Decodes a line record of the ZURAZA format (variant "5"): called when line 1 to 4 has
// received its end byte, with the line's buffer and "E" appended for the end byte.
void ZURAZA_Process(const Record &record, RecordSink &sink);

} // namespace dialkite
