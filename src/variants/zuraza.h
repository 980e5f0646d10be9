#pragma once

namespace dialkite {

class Console;

// Line processors: called when line 1 to 4 has received its end byte and "E" has been
// appended to its line buffer. Each decodes its line, logs it and empties the buffer.
void ZURAZA_Process1(Console &console);
void ZURAZA_Process2(Console &console);
void ZURAZA_Process3(Console &console);
void ZURAZA_Process4(Console &console);
// ZURAZA_Process1 to ZURAZA_Process4 by line number.
void ZURAZA_ProcessLine(Console &console, int line);

// Decodes the line text in RxBuffer into the current caller-ID row and moves on.
void ZURAZA_Process(Console &console);

} // namespace dialkite
