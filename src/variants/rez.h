#pragma once

#include "console/recordsink.h"
#include "console/variant.h"

#include <QByteArray>

namespace dialkite {

// The 30-character REZ frame: STX, port, Code, Value, blanks, ETX.
QByteArray rezFrame(const QByteArray &port, const QByteArray &Code, const QByteArray &Value);

// Sends the REZ frame and lists it in the send log.
void VAZ_Orivir(RecordSink &sink, const QByteArray &port, const QByteArray &Code,
                const QByteArray &Value);

// Decodes a record of the REZ format (variant "3").
void RER_Ozavora(const Record &record, RecordSink &sink);

} // namespace dialkite
