#include "monitor.h"

#include "console/console.h"
#include "console/qserialportlink.h"
#include "operations/identify.h"
#include "outputs/capture.h"
#include "outputs/history.h"
#include "outputs/json.h"
#include "platform/termination.h"

#include <QCoreApplication>
#include <cstdio>
#include <memory>

namespace dialkite::cli {

namespace {

void printLine(const QByteArray &json)
{
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Port errors end the monitor; it has no operator to tell.
class MonitorView : public ConsoleView {
public:
    Answer showMessage(const MessageBox &box) override
    {
        std::fprintf(stderr, "dialkite-cli: %s: %s%s%s\n", box.title.toUtf8().constData(),
                     box.text.toUtf8().constData(), box.detail.isEmpty() ? "" : " ",
                     box.detail.toUtf8().constData());
        QCoreApplication::exit(1);
        return Answer::Ok;
    }
    void setOutgoingCaption(const QString &) override {}
};

} // namespace

int runMonitor(const MonitorOptions &options)
{
    Settings settings(options.settingsPath);
    QSerialPortLink link([&settings](int port) { return portDevice(settings, port); });
    MonitorView view;
    Console console(link, view, settings);
    console.Form_Load();
    console.Timer2_Timer();
    console.setVariant(VariantId(options.variant));

    const bool opened =
        options.device.isEmpty() ? link.open(options.port) : link.openDevice(options.device);
    const QString device =
        options.device.isEmpty() ? portDevice(settings, options.port) : options.device;
    if (!opened) {
        std::fprintf(stderr, "dialkite-cli: cannot open %s: %s\n", device.toUtf8().constData(),
                     link.lastError().toUtf8().constData());
        return 1;
    }
    std::unique_ptr<CaptureRecorder> recorder;
    if (!options.capture.isEmpty()) {
        recorder = std::make_unique<CaptureRecorder>(
            console, CaptureOptions{
                         options.capture, {}, 0, QStringLiteral("dialkite-cli " DIALKITE_VERSION)});
        QObject::connect(&console, &Console::observed, recorder.get(), &CaptureRecorder::consume);
        QObject::connect(recorder.get(), &CaptureRecorder::failed, [](const QString &message) {
            std::fprintf(stderr, "dialkite-cli: recording stopped: %s\n",
                         message.toUtf8().constData());
        });
        recorder->startSession(options.port ? QStringLiteral("COM%1").arg(options.port) : QString(),
                               device);
    }
    printLine(json::object({{QStringLiteral("event"), QStringLiteral("open")},
                            {QStringLiteral("device"), device},
                            {QStringLiteral("variant"), console.state().VariantCode.text()}}));

    // With a history, an event is printed once it is stored: a monitor killed at any
    // moment has printed no call the history lacks.
    int decoded = 0;
    int printed = 0;
    const auto print = [&](const Event &event) {
        const json::Fields fields = json::eventFields(event);
        if (!fields.isEmpty())
            printLine(json::object(fields));
        if (std::holds_alternative<events::CallerId>(event) && options.count > 0 &&
            ++printed >= options.count)
            QCoreApplication::exit(0);
    };
    QObject::connect(&console, &Console::observed, [&](const Event &event) {
        // The Nth call is still answered; the records after it in the same read are not.
        if (std::holds_alternative<events::CallerId>(event) && options.count > 0 &&
            ++decoded >= options.count)
            console.stopReceiving();
    });
    std::unique_ptr<CallHistory> history;
    if (!options.history.isEmpty()) {
        history = std::make_unique<CallHistory>(console, options.history);
        history->setPort(options.port ? QStringLiteral("COM%1").arg(options.port) : QString(), device);
        QObject::connect(&console, &Console::observed, history.get(), &CallHistory::consume);
        QObject::connect(history.get(), &CallHistory::stored, print);
        QObject::connect(history.get(), &CallHistory::unstored, print);
        const auto say = [](const QString &message) {
            std::fprintf(stderr, "dialkite-cli: history: %s\n", message.toUtf8().constData());
        };
        QObject::connect(history.get(), &CallHistory::notice, say);
        QObject::connect(history.get(), &CallHistory::failed, say);
    } else {
        QObject::connect(&console, &Console::observed, print);
    }
    QObject::connect(&link, &SerialLink::lost, [&device](const QString &reason) {
        std::fprintf(stderr, "dialkite-cli: %s: %s\n", reason.toUtf8().constData(),
                     device.toUtf8().constData());
        QCoreApplication::exit(1);
    });
    onTerminationSignal([] { QCoreApplication::exit(0); });

    if (options.identify)
        ReadIdentification_Click(console);
    const int status = QCoreApplication::exec();
    link.drain(1000); // the last acknowledgements
    if (recorder)
        recorder->flush();
    if (history) {
        history->flush();
        QCoreApplication::processEvents(); // the last lines, now stored, are printed
    }
    return status;
}

} // namespace dialkite::cli
