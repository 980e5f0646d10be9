#pragma once

#include <QByteArray>

namespace dialkite {

class Console;

// Sends the 3-character RORIVU frame "S", command, "E"; logged.
void RORIVU_Opcode(Console &console, const QByteArray &Code);

// Decodes the record in RxBuffer of the RORIVU format (variant "4").
void RORIVU_Process(Console &console);

} // namespace dialkite
