#include "monitor.h"

#include "console/console.h"
#include "console/qserialportlink.h"
#include "operations/identify.h"
#include "outputs/capture.h"
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

    int calls = 0;
    QObject::connect(&console, &Console::observed, [&](const Event &event) {
        const json::Fields fields = json::eventFields(event);
        if (!fields.isEmpty())
            printLine(json::object(fields));
        if (std::holds_alternative<events::CallerId>(event) && options.count > 0 &&
            ++calls >= options.count) {
            // This record is still answered; the ones after it in the same read are not.
            console.stopReceiving();
            QCoreApplication::exit(0);
        }
    });
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
    return status;
}

} // namespace dialkite::cli
