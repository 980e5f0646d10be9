// Fuzz target: what a collector makes of a message from the broker. The input is a topic,
// a newline, then the payload. Whatever it is: an event is taken only for the box its
// topic names and with an id of that box; a status only for a short box name; a spool
// count names at most 64 boxes, none with '/', no count below zero; and with a fleet key
// a message counts only when signed, signing it changing nothing else about it.

#include "fuzz/check.h"
#include "outputs/fleetkey.h"
#include "outputs/intake.h"

#include <QByteArray>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

using namespace dialkite;
using fuzz::check;

namespace {

void checkHeard(const Heard &heard, const QString &topic)
{
    const QStringList parts = topic.split(QLatin1Char('/'));
    if (const auto *intake = std::get_if<Intake>(&heard)) {
        check(parts.size() == 3 && parts[0] == u"dialkite", "an event from another topic");
        check(intake->box == parts[1], "an event of another box than its topic's");
        QString box, instance;
        qint64 seq = 0;
        check(parseEventId(intake->event.value(u"id").toString(), &box, &instance, &seq) &&
                  box == intake->box && instance == intake->instance && seq == intake->seq,
              "an event whose id is not its own");
        check(intake->event.value(u"event").toString() == parts[2], "an event of another kind");
    } else if (const auto *status = std::get_if<events::BoxStatus>(&heard)) {
        check(parts.size() == 3 && status->box == parts[1] && !status->box.isEmpty() &&
                  status->box.size() <= kLongestField,
              "a status of a box its topic does not name");
    } else if (const auto *waiting = std::get_if<events::SpoolWaiting>(&heard)) {
        check(waiting->boxes.size() <= kMostWaitingBoxes, "a spool count of too many boxes");
        for (const auto &[box, count] : waiting->boxes)
            check(count >= 0 && !box.contains(u'/') && box.size() <= kLongestField,
                  "a spool count with a box or a count that is not one");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\n');
    const QString topic = QString::fromUtf8(split < 0 ? input : input.left(split));
    const QByteArray payload = split < 0 ? QByteArray() : input.mid(split + 1);
    static const QByteArray key(kFleetKeyBytes, 'k');

    const Heard plain = hearMessage(topic, payload, {});
    checkHeard(plain, topic);
    const Heard keyed = hearMessage(topic, payload, key);
    checkHeard(keyed, topic);
    check(!std::holds_alternative<Intake>(keyed) ||
              verifiedMessage(key, topic, payload).has_value(),
          "an unsigned event taken with a fleet key");
    // An event's text signed by the fleet is heard as the text alone is without a key.
    if (payload.endsWith('}') && topic.startsWith(u"dialkite/") && !topic.endsWith(u"/status")) {
        const Heard signedHeard = hearMessage(topic, signMessage(key, topic, payload), key);
        checkHeard(signedHeard, topic);
        check(signedHeard.index() == plain.index(), "a signature that changes what is heard");
    }
    return 0;
}
