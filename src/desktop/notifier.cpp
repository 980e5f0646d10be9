#include "notifier.h"

#include "console/notation.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace dialkite {

QString DesktopNotifier::summaryOf(const events::CallerId &call)
{
    // What a box or a phonebook says is shown as text: no markup, no control characters.
    const QString who = call.name.isEmpty() ? call.number : call.name;
    return QCoreApplication::translate("window", "전화: %1").arg(visibleControls(who.left(80)));
}

QString DesktopNotifier::bodyOf(const events::CallerId &call, const QString &box)
{
    QString body = QCoreApplication::translate("window", "채널 %1")
                       .arg(visibleControls(QString::fromLatin1(call.line)));
    if (!call.name.isEmpty())
        body += QStringLiteral(" · ") + visibleControls(call.number);
    if (!box.isEmpty())
        body += QStringLiteral(" · ") + visibleControls(box);
    return body.toHtmlEscaped();
}

bool DesktopNotifier::notify(const events::CallerId &call, const QString &box)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("dialkite"));
    message << QStringLiteral("Dial Kite") << uint(0) << QStringLiteral("call-start")
            << summaryOf(call).toHtmlEscaped() << bodyOf(call, box) << QStringList() << hints
            << int(-1);
    // Not waited for: the console never stops for the desktop.
    return bus.send(message);
}

} // namespace dialkite
