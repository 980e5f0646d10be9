// Fuzz target: the fleet's signatures. The input is a topic, a newline, then a payload.
// A payload that verifies is exactly the signed form of what it covers; a JSON object's
// text signed verifies as itself, and not for another topic or under another key.

#include "fuzz/check.h"
#include "outputs/fleetkey.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>

using namespace dialkite;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\n');
    const QString topic = QString::fromUtf8(split < 0 ? input : input.left(split));
    const QByteArray payload = split < 0 ? QByteArray() : input.mid(split + 1);
    static const QByteArray key(kFleetKeyBytes, 'k');
    static const QByteArray other = QByteArray(kFleetKeyBytes - 1, 'k') + 'K';

    if (const auto covered = verifiedMessage(key, topic, payload))
        check(signMessage(key, topic, *covered) == payload, "a signature verified that is not one");
    if (payload.startsWith('{') && payload.endsWith('}') && payload.size() >= 2) {
        const QByteArray signedText = signMessage(key, topic, payload);
        check(verifiedMessage(key, topic, signedText) == payload, "a signed text that fails");
        check(!verifiedMessage(key, topic + u'x', signedText), "a signature good for two topics");
        check(!verifiedMessage(other, topic, signedText), "a signature good under two keys");
        QByteArray changed = signedText;
        changed[0] = changed[0] == '{' ? '[' : '{';
        check(!verifiedMessage(key, topic, changed), "a signature good for a changed text");
    }
    return 0;
}
