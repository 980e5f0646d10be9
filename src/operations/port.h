#pragma once

#include "console/console.h"

namespace dialkite {

inline constexpr int kPortChoices = 9; // COM1 to COM9

// The port the port dialog shows chosen: PORT/NUM read as a hexadecimal number, as the
// console has always read it there ("3" is COM3; "10" is 16 and chooses none). Nothing
// when it is not 1 to 9.
Choice savedPortChoice(const Profile &settings);

// "설정" of the port dialog: reopens the console on the chosen port. Nothing chosen
// leaves the open port as it is.
void choosePort(Console &console, Choice index);

} // namespace dialkite
