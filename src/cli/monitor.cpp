#include "monitor.h"

#include "console/console.h"
#include "console/qserialportlink.h"
#include "operations/identify.h"
#include "outputs/capture.h"
#include "outputs/history.h"
#include "outputs/json.h"
#include "outputs/mqtt.h"
#include "platform/termination.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace dialkite::cli {

namespace {

constexpr int kFirstRetryMs = 1000;
constexpr int kLastRetryMs = 30000;

void printLine(const QByteArray &json)
{
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void say(const QString &text)
{
    std::fprintf(stderr, "dialkite-cli: %s\n", text.toUtf8().constData());
}

// Port errors are the runner's to report: a single box ends the monitor, a rig's box
// is opened again later.
class MonitorView : public ConsoleView {
public:
    Answer showMessage(const MessageBox &) override { return Answer::Ok; }
    void setOutgoingCaption(const QString &) override {}
};

struct Shared {
    const MonitorOptions &options;
    Settings &settings;
    std::optional<MqttTarget> mqtt;
    int decoded = 0;
    int printed = 0;
    std::function<void()> stopAll;
};

// One box: its link, its console and the outputs that consume its events.
class BoxRunner : public QObject {
public:
    BoxRunner(const BoxSpec &spec, Shared &shared)
        : m_spec(spec)
        , m_shared(shared)
        , m_link([&shared](int port) { return portDevice(shared.settings, port); })
        , m_console(m_link, m_view, shared.settings)
    {
        m_console.Form_Load();
        m_console.Timer2_Timer();
        m_console.setVariant(VariantId(spec.variant));
        m_device = spec.device.isEmpty() ? portDevice(shared.settings, spec.port) : spec.device;
        const MonitorOptions &options = shared.options;

        QObject::connect(&m_console, &Console::observed, this, [this](const Event &event) {
            // The Nth call is still answered; the records after it in the same read are not.
            if (std::holds_alternative<events::CallerId>(event) && m_shared.options.count > 0 &&
                ++m_shared.decoded >= m_shared.options.count)
                m_shared.stopAll();
        });
        if (!options.capture.isEmpty()) {
            m_recorder = std::make_unique<CaptureRecorder>(
                m_console,
                CaptureOptions{
                    options.capture, {}, 0, QStringLiteral("dialkite-cli " DIALKITE_VERSION)});
            QObject::connect(&m_console, &Console::observed, m_recorder.get(),
                             &CaptureRecorder::consume);
            QObject::connect(
                m_recorder.get(), &CaptureRecorder::failed, this,
                [this](const QString &m) { tell(QStringLiteral("recording stopped: ") + m); });
        }
        if (shared.mqtt) {
            const QString box = spec.name.isEmpty() ? QStringLiteral("box") : spec.name;
            m_publisher = std::make_unique<MqttPublisher>(box, *shared.mqtt, options.spool);
            QObject::connect(&m_console, &Console::observed, m_publisher.get(),
                             &MqttPublisher::consume);
            QObject::connect(m_publisher.get(), &MqttPublisher::status, this,
                             [this](const QString &m) { tell(QStringLiteral("mqtt: ") + m); });
        }
        const auto print = [this](const Event &event) { this->print(event); };
        if (!options.history.isEmpty()) {
            // With a history, an event is printed once it is stored: a monitor killed at
            // any moment has printed no call the history lacks.
            m_history = std::make_unique<CallHistory>(m_console, options.history);
            m_history->setBox(spec.name);
            m_history->setPort(spec.port ? QStringLiteral("COM%1").arg(spec.port) : QString(),
                               m_device);
            QObject::connect(&m_console, &Console::observed, m_history.get(),
                             &CallHistory::consume);
            QObject::connect(m_history.get(), &CallHistory::stored, this, print);
            QObject::connect(m_history.get(), &CallHistory::unstored, this, print);
            QObject::connect(m_history.get(), &CallHistory::notice, this,
                             [this](const QString &m) { tell(QStringLiteral("history: ") + m); });
            QObject::connect(m_history.get(), &CallHistory::failed, this,
                             [this](const QString &m) { tell(QStringLiteral("history: ") + m); });
        } else {
            QObject::connect(&m_console, &Console::observed, this, print);
        }
        QObject::connect(&m_link, &SerialLink::lost, this, [this](const QString &reason) {
            tell(QStringLiteral("%1: %2").arg(reason, m_device));
            lost();
        });
        m_retry.setSingleShot(true);
        QObject::connect(&m_retry, &QTimer::timeout, this, [this] { open(); });
    }

    // Opens the box's port; false when it cannot (a rig tries again later).
    bool open()
    {
        const bool opened =
            m_spec.device.isEmpty() ? m_link.open(m_spec.port) : m_link.openDevice(m_spec.device);
        if (!opened) {
            tell(QStringLiteral("cannot open %1: %2").arg(m_device, m_link.lastError()));
            lost();
            return false;
        }
        m_delay = kFirstRetryMs;
        json::Fields fields{{QStringLiteral("event"), QStringLiteral("open")}};
        if (!m_spec.name.isEmpty())
            fields.append({QStringLiteral("box"), m_spec.name});
        fields.append({QStringLiteral("device"), m_device});
        fields.append({QStringLiteral("variant"), m_console.state().VariantCode.text()});
        printLine(json::object(fields));
        if (m_recorder && !m_recording) {
            m_recorder->startSession(
                m_spec.port ? QStringLiteral("COM%1").arg(m_spec.port) : QString(), m_device);
            m_recording = true;
        }
        if (m_spec.identify)
            ReadIdentification_Click(m_console);
        return true;
    }

    void stopReceiving() { m_console.stopReceiving(); }
    void finish()
    {
        m_link.drain(1000); // the last acknowledgements
        if (m_recorder)
            m_recorder->flush();
        if (m_history)
            m_history->flush();
        if (m_publisher && !m_publisher->drain(3000))
            tell(QStringLiteral("mqtt: %1 events wait in the spool for the broker")
                     .arg(m_publisher->backlog()));
    }
    bool failed() const { return m_failed; }

private:
    void tell(const QString &text)
    {
        say(m_spec.name.isEmpty() ? text : m_spec.name + QStringLiteral(": ") + text);
    }

    void print(const Event &event)
    {
        json::Fields fields = json::eventFields(event);
        if (fields.isEmpty())
            return;
        if (!m_spec.name.isEmpty())
            fields.insert(1, {QStringLiteral("box"), m_spec.name});
        printLine(json::object(fields));
        if (std::holds_alternative<events::CallerId>(event) && m_shared.options.count > 0 &&
            ++m_shared.printed >= m_shared.options.count)
            QCoreApplication::exit(0);
    }

    // A single box ends the monitor; a rig's box is tried again, less and less often.
    void lost()
    {
        if (m_spec.name.isEmpty()) {
            m_failed = true;
            QCoreApplication::exit(1);
            return;
        }
        tell(QStringLiteral("trying again in %1 s").arg(m_delay / 1000));
        m_retry.start(m_delay);
        m_delay = qMin(m_delay * 2, kLastRetryMs);
    }

    BoxSpec m_spec;
    Shared &m_shared;
    QString m_device;
    QSerialPortLink m_link;
    MonitorView m_view;
    Console m_console;
    std::unique_ptr<CaptureRecorder> m_recorder;
    std::unique_ptr<CallHistory> m_history;
    std::unique_ptr<MqttPublisher> m_publisher;
    QTimer m_retry;
    int m_delay = kFirstRetryMs;
    bool m_recording = false;
    bool m_failed = false;
};

} // namespace

std::optional<BoxSpec> parseBoxSpec(const QString &text, QString *error)
{
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    BoxSpec spec;
    spec.name = text.left(equals);
    QString where = equals < 0 ? QString() : text.mid(equals + 1);
    if (equals < 0 || where.isEmpty()) {
        *error = QStringLiteral("--box takes NAME=DEVICE_OR_COMn[:VARIANT]");
        return std::nullopt;
    }
    if (const QString problem = boxNameProblem(spec.name); !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    static const QRegularExpression withVariant(QStringLiteral("^(.+):([0-9]+)$"));
    if (const auto match = withVariant.match(where); match.hasMatch()) {
        where = match.captured(1);
        spec.variant = match.captured(2).toInt();
    }
    if (!variantTable().find(VariantId(spec.variant)) || spec.variant < 1) {
        *error = QStringLiteral("box %1: no variant %2").arg(spec.name).arg(spec.variant);
        return std::nullopt;
    }
    static const QRegularExpression comPort(QStringLiteral("^COM([0-9]+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const auto match = comPort.match(where); match.hasMatch())
        spec.port = match.captured(1).toInt();
    else
        spec.device = where;
    return spec;
}

QList<BoxSpec> parseRigFile(const QByteArray &content, QString *error)
{
    const Profile rig = Profile::parse(content);
    QList<BoxSpec> boxes;
    for (const QString &section : rig.sections()) {
        const auto value = [&](const char *key) {
            return rig.value(section, QString::fromLatin1(key));
        };
        QString where = value("DEVICE");
        if (where.isEmpty() && !value("PORT").isEmpty())
            where = QStringLiteral("COM") + value("PORT");
        const QString variant = value("VARIANT").isEmpty() ? QStringLiteral("1") : value("VARIANT");
        const auto spec =
            parseBoxSpec(section + QLatin1Char('=') + where + QLatin1Char(':') + variant, error);
        if (!spec) {
            *error = QStringLiteral("[%1]: %2").arg(section, *error);
            return {};
        }
        boxes.append(*spec);
        boxes.back().identify = value("IDENTIFY") == QLatin1String("1");
    }
    if (boxes.isEmpty())
        *error = QStringLiteral("the rig file names no box (one [NAME] section a box)");
    return boxes;
}

int runMonitor(const MonitorOptions &options)
{
    Settings settings(options.settingsPath);
    Shared shared{options, settings, std::nullopt, 0, 0, {}};
    if (!options.mqtt.isEmpty()) {
        const Profile profile = settings.load();
        const QString section = QStringLiteral("MQTT");
        QString error;
        shared.mqtt = mqttTarget(options.mqtt, profile.value(section, QStringLiteral("USER")),
                                 profile.value(section, QStringLiteral("PASSWORD")),
                                 profile.value(section, QStringLiteral("CA")), &error);
        if (!shared.mqtt) {
            say(error);
            return 2;
        }
    }
    const QList<BoxSpec> specs = options.rig.isEmpty() ? QList<BoxSpec>{options.box} : options.rig;
    std::vector<std::unique_ptr<BoxRunner>> boxes;
    for (const BoxSpec &spec : specs)
        boxes.push_back(std::make_unique<BoxRunner>(spec, shared));
    shared.stopAll = [&boxes] {
        for (const auto &box : boxes)
            box->stopReceiving();
    };
    for (const auto &box : boxes) {
        if (!box->open() && options.rig.isEmpty())
            return 1;
    }
    onTerminationSignal([] { QCoreApplication::exit(0); });
    const int status = QCoreApplication::exec();
    for (const auto &box : boxes)
        box->finish();
    QCoreApplication::processEvents(); // the last lines, now stored, are printed
    return status;
}

} // namespace dialkite::cli
