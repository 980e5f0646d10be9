#pragma once

// The web page's files, served by the program itself.

namespace dialkite::webpage {

extern const char kIndex[];
extern const char kSignIn[];
extern const char kScript[];
extern const char kStyle[];

} // namespace dialkite::webpage
