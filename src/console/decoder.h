#pragma once

#include "recordsink.h"
#include "variant.h"

#include <QByteArray>

namespace dialkite {

// The default format's 22-character frame: STX, port, Code, Value, blanks, ETX. A long
// Value is cut so that the ETX still goes out.
QByteArray opcodeFrame(const QByteArray &port, const QByteArray &Code, const QByteArray &Value);

// The default record format (variants "1" and "2", and any code without a decoder of
// its own).
void defaultDecoder(const Record &record, RecordSink &sink);

} // namespace dialkite
