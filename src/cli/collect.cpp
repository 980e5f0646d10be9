#include "collect.h"

#include "outputs/history.h"
#include "platform/termination.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>
#include <mutex>

namespace dialkite::cli {

int runCollector(const MqttTarget &target, const QString &historyFile)
{
    RemoteHistory history(historyFile);
    const auto say = [](const QString &text) {
        std::fprintf(stderr, "dialkite-cli: %s\n", text.toUtf8().constData());
    };
    QObject::connect(&history, &RemoteHistory::notice, say);
    QObject::connect(&history, &RemoteHistory::failed, say);
    static std::mutex printing;
    MqttSubscriber subscriber(target, [&history](const QString &box, const QJsonObject &event) {
        history.store(box, event);
        const QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n';
        std::lock_guard lock(printing);
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    });
    QObject::connect(&subscriber, &MqttSubscriber::status,
                     [say](const QString &m) { say(QStringLiteral("mqtt: ") + m); });
    onTerminationSignal([] { QCoreApplication::exit(0); });
    const int status = QCoreApplication::exec();
    history.flush();
    return status;
}

} // namespace dialkite::cli
