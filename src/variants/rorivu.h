#pragma once

#include "console/recordsink.h"
#include "console/variant.h"

#include <QByteArray>

namespace dialkite {

// The 3-character RORIVU frame "S", command, "E".
QByteArray rorivuFrame(const QByteArray &Code);

// Sends the RORIVU frame and lists it in the send log.
void RORIVU_Opcode(RecordSink &sink, const QByteArray &Code);

// Decodes a record of the RORIVU format (variant "4").
void RORIVU_Process(const Record &record, RecordSink &sink);

} // namespace dialkite
