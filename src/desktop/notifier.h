#pragma once

// Desktop notifications through the desktop's notification service on the session bus
// (org.freedesktop.Notifications): a call's name or number, its line and its box. Sent
// without waiting for an answer; a desktop without the service shows nothing.

#include "console/events.h"

#include <QString>

namespace dialkite {

class DesktopNotifier {
public:
    // What the notification says, for a call of `box` ("" for a lone box).
    static QString summaryOf(const events::CallerId &call);
    static QString bodyOf(const events::CallerId &call, const QString &box);
    // False when no session bus could be reached.
    bool notify(const events::CallerId &call, const QString &box = {});
};

} // namespace dialkite
