// How soon the desktop hears of a call: from a record reaching the console to the
// notification arriving at the desktop's notification service on the session bus (a
// private dbus-daemon; the service is played here), for 300 calls with names from the
// phonebook. The goal is 300 ms at the 95th percentile.
//
//   QT_QPA_PLATFORM=offscreen build/bin/dialkite_notify_bench

#include "console/recording.h"
#include "console/settings.h"
#include "desktop/form1.h"
#include "history/contacts.h"
#include "outputs/history.h"

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace dialkite;

namespace {

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    int seen = 0;
public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &, const QString &,
                const QStringList &, const QVariantMap &, int)
    {
        return uint(++seen);
    }
};

constexpr int kCalls = 300;

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address=1")});
    if (!bus.waitForReadyRead(5000)) {
        std::fprintf(stderr, "no dbus-daemon\n");
        return 1;
    }
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    Notifications notifications;
    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("service"));
    service.registerService(QStringLiteral("org.freedesktop.Notifications"));
    service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                           QDBusConnection::ExportAllSlots);

    QTemporaryDir dir;
    const QString history = dir.filePath(QStringLiteral("history.sqlite"));
    {
        ContactBook book(history);
        QString problem;
        QList<contacts::Entry> entries;
        for (int i = 0; i < 1000; ++i)
            entries.append({i + 1,
                            QStringLiteral("거래처 %1").arg(i),
                            {},
                            {QStringLiteral("02-123-%1").arg(i, 4, 10, QLatin1Char('0'))}});
        if (!book.open(&problem) || !book.import(entries, &problem)) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(problem));
            return 1;
        }
    }
    Settings settings(dir.filePath(QStringLiteral("Dial Kite.ini")));
    RecordingLink link;
    Form1 form(link, settings);
    OutputPlan plan;
    plan.set(QStringLiteral("history"), HistoryPlan{history});
    plan.set(QStringLiteral("notify"), true);
    form.startOutputs(plan);
    form.timer1().stop();
    form.timer2().stop();
    form.console().Timer2_Timer();
    link.setOpen(true);
    form.console().setVariant(VariantId(6));

    std::vector<double> delays;
    for (int i = 0; i < kCalls; ++i) {
        const QByteArray record =
            "\x02" + QByteArray::number(i % 4 + 1) + "I12071016" +
            QStringLiteral("02123%1").arg(i % 1000, 4, 10, QLatin1Char('0')).toLatin1() +
            "     \x03";
        const int before = notifications.seen;
        QElapsedTimer timer;
        timer.start();
        link.inject(record);
        while (notifications.seen == before && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        delays.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(delays.begin(), delays.end());
    const auto at = [&](double share) { return delays[size_t(share * (delays.size() - 1))]; };
    std::printf("notifications: %d of %d calls; from the record: p50 %.2f ms, p95 %.2f ms, "
                "max %.2f ms\n",
                notifications.seen, kCalls, at(0.5), at(0.95), delays.back());
    form.finishOutputs(5000);
    bus.kill();
    bus.waitForFinished(3000);
    return notifications.seen == kCalls ? 0 : 1;
}

#include "notify_bench.moc"
