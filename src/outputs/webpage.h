#pragma once

// The web page's files, served by the program itself.

#include <string>

namespace dialkite::webpage {

extern const char kIndex[];
// A page's sign-in form (its own title, heading and style), holding <!--message--> where
// kWrongToken goes.
std::string signInPage(const std::string &title, const std::string &heading,
                       const std::string &stylesheet);
extern const char kWrongToken[];
extern const char kTooManyTries[]; // in kWrongToken's place for a message too
extern const char kIcon[];
extern const char kScript[];
extern const char kStyle[];

} // namespace dialkite::webpage
