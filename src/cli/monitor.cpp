#include "monitor.h"

#include "commands.h"
#include "printer.h"

#include "console/console.h"
#include "console/notation.h"
#include "console/qserialportlink.h"
#include "operations/identify.h"
#include "outputs/factory.h"
#include "outputs/json.h"
#include "outputs/mqtt.h"
#include "platform/termination.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace dialkite::cli {

namespace {

constexpr int kFirstRetryMs = 1000;
constexpr int kLastRetryMs = 30000;

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
    OutputFactory &outputs;
    int decoded = 0;
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
        // The port as the user knows it: COM99 and where it is on this machine.
        m_shown = spec.device.isEmpty() ? QStringLiteral("COM%1 (%2)").arg(spec.port).arg(m_device)
                                        : m_device;

        QObject::connect(&m_console, &Console::observed, this, [this](const Event &event) {
            // The Nth call is still answered; the records after it in the same read are not.
            if (std::holds_alternative<events::CallerId>(event) && m_shared.options.count > 0 &&
                ++m_shared.decoded >= m_shared.options.count)
                m_shared.stopAll();
        });
        QObject::connect(&m_link, &SerialLink::lost, this, [this](const QString &reason) {
            tell(QStringLiteral("%1: %2").arg(
                QCoreApplication::translate("dialkite", reason.toUtf8().constData()), m_shown));
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
            tell(QCoreApplication::translate("dialkite", "cannot open %1: %2")
                     .arg(m_shown, QCoreApplication::translate(
                                       "dialkite", m_link.lastError().toUtf8().constData())));
            lost();
            return false;
        }
        m_delay = kFirstRetryMs;
        m_opened = true;
        startOutputs();
        json::Fields fields{{QStringLiteral("event"), QStringLiteral("open")}};
        if (!m_spec.name.isEmpty())
            fields.append({QStringLiteral("box"), m_spec.name});
        fields.append({QStringLiteral("device"), m_device});
        fields.append({QStringLiteral("variant"), m_console.state().VariantCode.text()});
        printLine(json::object(fields));
        m_console.linkOpened(m_spec.port);
        if (m_spec.identify)
            ReadIdentification_Click(m_console);
        return true;
    }

    void stopReceiving() { m_console.stopReceiving(); }
    // The last acknowledgements go out; then every output is given until `deadline`.
    void drainLink(QDeadlineTimer deadline)
    {
        m_link.drain(int(std::clamp<qint64>(deadline.remainingTime(), 0, 1000)));
    }
    void finish(QDeadlineTimer deadline)
    {
        if (!m_outputs)
            return;
        for (const QString &undone : m_outputs->finish(deadline))
            tell(undone);
    }

    bool failed() const { return m_failed; }

private:
    // Every event once the history and the spool have it: a monitor killed at any moment
    // has printed no call they lack. Made when the port first opens, so that a monitor
    // whose port never opens leaves no files behind.
    void startOutputs()
    {
        if (m_outputs)
            return;
        m_outputs = m_shared.outputs.build(m_spec.name);
        QObject::connect(&m_console, &Console::observed, m_outputs.get(), &OutputSet::consume);
        QObject::connect(m_outputs.get(), &OutputSet::news, this,
                         [this](const QString &output, Severity severity, const QString &text) {
                             tell(OutputRegistry::instance().news(output, severity, text).line);
                         });
    }

private:
    void tell(const QString &text)
    {
        say(m_spec.name.isEmpty() ? text : m_spec.name + QStringLiteral(": ") + text);
    }

    // A box that went away is tried again, less and less often; a single box whose port
    // never opened ends the monitor (the port is wrong, not pulled).
    void lost()
    {
        if (m_spec.name.isEmpty() && !m_opened) {
            m_failed = true;
            QCoreApplication::exit(1);
            return;
        }
        tell(QCoreApplication::translate("dialkite", "trying again in %1 s").arg(m_delay / 1000));
        m_retry.start(m_delay);
        m_delay = qMin(m_delay * 2, kLastRetryMs);
    }

    BoxSpec m_spec;
    Shared &m_shared;
    QString m_device;
    QString m_shown; // the port as the user names it
    bool m_opened = false;
    QSerialPortLink m_link;
    MonitorView m_view;
    Console m_console;
    std::unique_ptr<OutputSet> m_outputs;
    QTimer m_retry;
    int m_delay = kFirstRetryMs;
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
        *error = visibleControls(problem);
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
    if (const auto match = comPort.match(where); match.hasMatch()) {
        spec.port = match.captured(1).toInt();
        if (spec.port < 1 || spec.port > 255) {
            *error = QStringLiteral("box %1: no port %2 (COM1 to COM255)")
                         .arg(spec.name, visibleControls(where.left(20)));
            return std::nullopt;
        }
    } else {
        spec.device = where;
    }
    return spec;
}

QList<BoxSpec> parseRigFile(const QByteArray &content, QString *error)
{
    const Profile rig = Profile::parse(content);
    QList<BoxSpec> boxes;
    QStringList seen;
    const auto fail = [error](int line, const QString &reason) {
        *error = QStringLiteral("line %1: %2").arg(line).arg(reason);
        return QList<BoxSpec>{};
    };
    for (const auto &heading : rig.headings()) {
        // Named, not bound: a lambda below uses it.
        const QString section = heading.first;
        const int line = heading.second;
        const QString shown = visibleControls(section);
        // The name is the box's as it is: one that '=' would cut short is refused.
        if (section == u"[]" || section.contains(u'='))
            return fail(line, QStringLiteral("[%1] is not a box name (no '=', not empty)")
                                  .arg(section == u"[]" ? QString() : shown));
        if (seen.contains(section, Qt::CaseInsensitive))
            return fail(line, QStringLiteral("a second section [%1]; each box once").arg(shown));
        seen << section;
        const auto value = [&](const char *key) {
            return rig.value(section, QString::fromLatin1(key)).trimmed();
        };
        QString where = value("DEVICE");
        if (where.isEmpty() && !value("PORT").isEmpty())
            where = QStringLiteral("COM") + value("PORT");
        if (where.isEmpty())
            return fail(line, QStringLiteral("[%1] names no DEVICE or PORT").arg(shown));
        const QString variant = value("VARIANT").isEmpty() ? QStringLiteral("1") : value("VARIANT");
        bool number = false;
        const int code = variant.toInt(&number);
        if (!number || code < 1 || !variantTable().find(VariantId(code)))
            return fail(line, QStringLiteral("[%1] VARIANT=%2 is not a variant (1 to %3)")
                                  .arg(shown, visibleControls(variant))
                                  .arg(variantTable().highest()));
        QString problem;
        const auto spec = parseBoxSpec(section + QLatin1Char('=') + where + QLatin1Char(':') +
                                           QString::number(code),
                                       &problem);
        if (!spec)
            return fail(line, QStringLiteral("[%1]: %2").arg(shown, visibleControls(problem)));
        boxes.append(*spec);
        boxes.back().identify = value("IDENTIFY") == QLatin1String("1");
    }
    if (boxes.isEmpty())
        *error = QStringLiteral("the rig file names no box (one [NAME] section a box)");
    return boxes;
}

int runMonitor(const MonitorOptions &options, OutputPlan plan)
{
    Settings settings(options.settingsPath);
    // The lines, once the outputs have their events; --count ends the monitor after the
    // Nth call printed.
    int printed = 0;
    plan.hooks.printLine = [&](const QByteArray &line, const Event &event) {
        printLine(line);
        if (std::holds_alternative<events::CallerId>(event) && options.count > 0 &&
            ++printed >= options.count)
            QCoreApplication::exit(0);
    };
    for (const QString &problem : std::as_const(plan.problems))
        say(problem);
    OutputFactory factory(std::move(plan));
    QString error;
    if (!factory.start(&error)) {
        say(error);
        return 1;
    }
    for (const QString &said : factory.said())
        say(said);
    Shared shared{options, settings, factory, 0, {}};
    std::vector<std::unique_ptr<BoxRunner>> boxes;
    const QList<BoxSpec> specs = options.rig.isEmpty() ? QList<BoxSpec>{options.box} : options.rig;
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
    // Every box's last acknowledgements, then every output, within 5 s in all, however
    // many boxes there are.
    const QDeadlineTimer deadline(5000);
    for (const auto &box : boxes)
        box->drainLink(deadline);
    for (const auto &box : boxes)
        box->finish(deadline);
    QCoreApplication::processEvents(); // the last lines, now stored, are printed
    return status;
}

namespace {

// The boxes of the command line: one by --port or --device, or a rig by --box and --rig.
bool readBoxes(const cmdline::Arguments &arguments, MonitorOptions *options, QString *error)
{
    options->box.identify = arguments.has(QStringLiteral("--identify"));
    if (arguments.has(QStringLiteral("--port")))
        options->box.port = cmdline::number(arguments.value(QStringLiteral("--port")),
                                            QStringLiteral("--port"), 1, 255, error)
                                .value_or(0);
    options->box.device = arguments.value(QStringLiteral("--device"));
    if (error->isEmpty() && arguments.has(QStringLiteral("--variant"))) {
        options->box.variant =
            cmdline::number(arguments.value(QStringLiteral("--variant")),
                            QStringLiteral("--variant"), 1, variantTable().highest(), error)
                .value_or(1);
        if (error->isEmpty() && !variantTable().find(VariantId(options->box.variant)))
            *error = QStringLiteral("--variant: no variant %1").arg(options->box.variant);
    }
    for (const QString &box : arguments.values(QStringLiteral("--box"))) {
        if (!error->isEmpty())
            break;
        const auto spec = parseBoxSpec(box, error);
        if (!spec) {
            *error = QStringLiteral("--box %1: %2").arg(box, *error);
            break;
        }
        for (const BoxSpec &other : std::as_const(options->rig)) {
            if (other.name == spec->name)
                *error = QStringLiteral("two boxes are called %1").arg(spec->name);
        }
        options->rig.append(*spec);
    }
    return error->isEmpty();
}

// The rules between the monitor's options, all in one place.
QString monitorRules(const Config &config, const MonitorOptions &options)
{
    const bool single = options.box.port != 0 || !options.box.device.isEmpty();
    if (config.given(QStringLiteral("HTTP"), QStringLiteral("LISTEN")) &&
        !config.given(QStringLiteral("HISTORY"), QStringLiteral("FILE")))
        return QStringLiteral("--http serves the call history: give --history FILE");
    if (config.given(QStringLiteral("HOMEASSISTANT"), QStringLiteral("PREFIX")) &&
        !config.given(QStringLiteral("MQTT"), QStringLiteral("URL")))
        return QStringLiteral("--ha-discovery publishes to the broker: give --mqtt URL");
    if (options.rig.isEmpty() && options.box.port != 0 && !options.box.device.isEmpty())
        return QStringLiteral("one of --port and --device, not both");
    if (single == !options.rig.isEmpty())
        return QStringLiteral("--port or --device for one box, or --box / --rig for several");
    if (!options.rig.isEmpty() && config.given(QStringLiteral("CAPTURE"), QStringLiteral("FILE")))
        return QStringLiteral(
            "--capture records one box; give each box of a rig a monitor of its own to record it");
    return {};
}

} // namespace

int monitorCommand(const Invocation &invocation)
{
    const cmdline::Arguments &arguments = invocation.arguments;
    MonitorOptions options;
    options.settingsPath = invocation.config.settingsPath;
    QString error;
    if (!readBoxes(arguments, &options, &error))
        return usageError(invocation.command, error);
    if (const QString rig = arguments.value(QStringLiteral("--rig")); !rig.isEmpty()) {
        QFile file(rig);
        if (!file.open(QIODevice::ReadOnly)) {
            say(QCoreApplication::translate("dialkite", "cannot read %1: %2")
                    .arg(rig, file.errorString()));
            return 1;
        }
        const QList<BoxSpec> boxes = parseRigFile(file.read(Settings::kMaxFileSize), &error);
        if (boxes.isEmpty())
            return usageError(invocation.command, rig + QStringLiteral(": ") + error);
        options.rig += boxes;
    }
    if (arguments.has(QStringLiteral("--count"))) {
        options.count = cmdline::number(arguments.value(QStringLiteral("--count")),
                                        QStringLiteral("--count"), 1, 1000000000, &error)
                            .value_or(0);
        if (!error.isEmpty())
            return usageError(invocation.command, error);
    }
    if (const QString broken = monitorRules(invocation.config, options); !broken.isEmpty())
        return usageError(invocation.command, broken);
    auto plan = planOutputs(invocation.config, FrontEnd::Monitor, {}, &error);
    if (!plan)
        return usageError(invocation.command, error);
    // --identify asks every box of a rig, as IDENTIFY=1 asks one.
    for (BoxSpec &spec : options.rig)
        spec.identify = spec.identify || options.box.identify;
    return runMonitor(options, std::move(*plan));
}

} // namespace dialkite::cli
