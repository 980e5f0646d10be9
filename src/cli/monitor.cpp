#include "monitor.h"

#include "json.h"

#include "console/console.h"
#include "console/qserialportlink.h"
#include "console/termination.h"
#include "console/variantcode.h"
#include "operations/identify.h"

#include <QCoreApplication>
#include <cstdio>

namespace dialkite::cli {

namespace {

void printLine(const QByteArray &json)
{
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray field(const char *name, const QString &value)
{
    return '"' + QByteArray(name) + "\": " + jsonString(value);
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
    console.state().VariantCode = QString::number(options.variant);
    console.MSFlexGrid4().setText(1, 0, variantByNumber(options.variant)->deviceName);

    const bool opened =
        options.device.isEmpty() ? link.open(options.port) : link.openDevice(options.device);
    const QString device =
        options.device.isEmpty() ? portDevice(settings, options.port) : options.device;
    if (!opened) {
        std::fprintf(stderr, "dialkite-cli: cannot open %s: %s\n", device.toUtf8().constData(),
                     link.lastError().toUtf8().constData());
        return 1;
    }
    printLine("{\"event\": \"open\", " + field("device", device) + ", " +
              field("variant", console.state().VariantCode) + "}");

    int rows = 0;
    QObject::connect(&console, &Console::callWritten, [&](int row) {
        const Grid &log = console.MSFlexGrid1();
        printLine("{\"event\": \"call\", \"row\": " + QByteArray::number(row) + ", " +
                  field("line", log.text(row, 0)) + ", " + field("time", log.text(row, 1)) + ", " +
                  field("number", log.text(row, 2)) + ", \"color\": \"" +
                  colourName(log.colour(row, 2)) + "\"}");
        if (options.count > 0 && ++rows >= options.count) {
            // This record is still answered; the ones after it in the same read are not.
            console.stopReceiving();
            QCoreApplication::exit(0);
        }
    });
    QObject::connect(&console, &Console::identificationShown,
                     [](const QString &name, const QString &version) {
                         printLine("{\"event\": \"identification\", " + field("name", name) + ", " +
                                   field("version", version) + "}");
                     });
    QObject::connect(&console, &Console::detectionShown, [](const QString &state) {
        printLine("{\"event\": \"detection\", " + field("state", state) + "}");
    });
    QObject::connect(&console, &Console::outgoingCallEnded,
                     [] { printLine("{\"event\": \"call_end\"}"); });

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
    return status;
}

} // namespace dialkite::cli
