// Fuzz target: the scenario script parser and the byte notation. Any bytes written in
// notation parse back to themselves; any text that parses as notation writes back to a
// notation that parses to the same bytes; a script is parsed or refused with a line
// number, never half-parsed.

#include "fuzz/check.h"
#include "scenario/script.h"

#include "console/notation.h"

#include <cstdio>
#include <cstdlib>

using namespace dialkite;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    QString error;
    const auto same = parseNotation(notation(input).toLatin1(), &error);
    check(same && *same == input, "bytes written in notation parse back");

    error.clear();
    const auto parsed = parseNotation(input, &error);
    check(parsed.has_value() || !error.isEmpty(), "a refusal says why");
    if (parsed) {
        const auto again = parseNotation(notation(*parsed).toLatin1(), &error);
        check(again && *again == *parsed, "notation of parsed bytes parses the same");
    }

    const scenario::Script script = scenario::parseScript(input);
    check(script.error.isEmpty() || (script.steps.isEmpty() && script.error.startsWith(u"line ")),
          "an invalid script runs nothing and names its line");
    for (const scenario::Step &step : script.steps) {
        if (step.kind != scenario::Step::Kind::Rx)
            continue;
        const auto back = parseNotation(notation(step.bytes).toLatin1(), &error);
        check(back && *back == step.bytes, "rx bytes round trip");
    }
    return 0;
}
