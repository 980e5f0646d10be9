// Fuzz target: the box test suites' parser, on any bytes. A suite it takes has every step
// on a line of the file, each expectation with a time limit within what may be written
// (up to a day); one it refuses says the line at fault.

#include "fuzz/check.h"
#include "scenario/suite.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>

using namespace dialkite;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const scenario::Suite suite = scenario::parseSuite(content);
    if (!suite.error.isEmpty()) {
        check(suite.error.startsWith(u"line "), "a refusal that names no line");
        return 0;
    }
    const int lines = int(content.count('\n')) + 1;
    int previous = 0;
    for (const scenario::SuiteStep &step : suite.steps) {
        check(step.lineNumber >= 1 && step.lineNumber <= lines, "a step on no line of the file");
        check(step.lineNumber > previous, "steps out of the file's order");
        previous = step.lineNumber;
        if (step.kind == scenario::SuiteStep::Kind::Expect)
            check(step.expectation.withinMs >= 0 && step.expectation.withinMs <= 86400000,
                  "a time limit beyond a day");
        if (step.kind == scenario::SuiteStep::Kind::Wait)
            check(step.waitMs >= 0 && step.waitMs <= 86400000, "a wait beyond a day");
        // Whatever bytes a pattern holds, matching them is safe.
        if (step.kind == scenario::SuiteStep::Kind::Expect)
            (void)scenario::bytesMatch(step.expectation, content.left(64));
    }
    return 0;
}
