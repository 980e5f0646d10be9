#pragma once

#include "console/recordsink.h"
#include "console/variant.h"

namespace dialkite {

// Decodes a record of the ZUD format (variant "6").
void ZUD_Process(const Record &record, RecordSink &sink);

} // namespace dialkite
