// Fuzz target: the monitor's rig file, on any bytes. A rig it takes names each box once,
// by a name a topic may carry, on a device or a port, with a variant there is; one it
// refuses says why.

#include "cli/monitor.h"
#include "console/variant.h"
#include "fuzz/check.h"
#include "outputs/mqtt.h"

#include <QByteArray>
#include <QSet>
#include <cstdio>
#include <cstdlib>

using namespace dialkite;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const QList<cli::BoxSpec> boxes = cli::parseRigFile(content, &error);
    if (boxes.isEmpty()) {
        check(!error.isEmpty(), "a rig refused without a reason");
        return 0;
    }
    check(error.isEmpty(), "a rig taken with an error");
    QSet<QString> names;
    for (const cli::BoxSpec &box : boxes) {
        check(boxNameProblem(box.name).isEmpty(), "a box name a topic cannot carry");
        check(!names.contains(box.name.toLower()), "a box named twice");
        names.insert(box.name.toLower());
        check(box.device.isEmpty() != (box.port == 0), "a box on no device and no port");
        check(variantTable().find(VariantId(box.variant)) != nullptr, "a variant there is not");
    }
    return 0;
}
