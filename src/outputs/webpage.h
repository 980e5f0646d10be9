#pragma once

// The web page's files, served by the program itself.

namespace dialkite::webpage {

extern const char kIndex[];
extern const char kSignIn[]; // holds <!--message--> where kWrongToken goes
extern const char kWrongToken[];
extern const char kTooManyTries[]; // in kSignIn's place for a message too
extern const char kIcon[];
extern const char kScript[];
extern const char kStyle[];

} // namespace dialkite::webpage
