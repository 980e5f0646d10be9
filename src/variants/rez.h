#pragma once

#include <QByteArray>

namespace dialkite {

class Console;

// Sends the 30-character REZ frame: STX, port, Code, Value, blanks, ETX; logged.
void VAZ_Orivir(Console &console, const QByteArray &port, const QByteArray &Code,
                const QByteArray &Value);

// Decodes the record in RxBuffer of the REZ format (variant "3").
void RER_Ozavora(Console &console);

} // namespace dialkite
