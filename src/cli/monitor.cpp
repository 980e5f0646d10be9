#include "monitor.h"

#include "console/console.h"
#include "console/notation.h"
#include "console/qserialportlink.h"
#include "operations/identify.h"
#include "outputs/discovery.h"
#include "outputs/factory.h"
#include "outputs/json.h"
#include "outputs/mqtt.h"
#include "platform/termination.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
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
    OutputFactory &outputs;
    int decoded = 0;
    std::function<void()> stopAll;
    WebServer *web = nullptr;
    HomeAssistantDiscovery *discovery = nullptr;
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

        QObject::connect(&m_console, &Console::observed, this, [this](const Event &event) {
            // The Nth call is still answered; the records after it in the same read are not.
            if (std::holds_alternative<events::CallerId>(event) && m_shared.options.count > 0 &&
                ++m_shared.decoded >= m_shared.options.count)
                m_shared.stopAll();
        });
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
        startOutputs();
        json::Fields fields{{QStringLiteral("event"), QStringLiteral("open")}};
        if (!m_spec.name.isEmpty())
            fields.append({QStringLiteral("box"), m_spec.name});
        fields.append({QStringLiteral("device"), m_device});
        fields.append({QStringLiteral("variant"), m_console.state().VariantCode.text()});
        printLine(json::object(fields));
        m_console.linkOpened(m_spec.port);
        if (m_shared.web)
            m_shared.web->setStatus(boxName(), true);
        if (m_shared.discovery)
            m_shared.discovery->describe(boxName(), {QString::number(m_spec.variant), {}});
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
                             if (output == u"capture" && severity == Severity::Stopped)
                                 tell(QStringLiteral("recording stopped: ") + text);
                             else
                                 tell(output + QStringLiteral(": ") + text);
                         });
    }

private:
    void tell(const QString &text)
    {
        say(m_spec.name.isEmpty() ? text : m_spec.name + QStringLiteral(": ") + text);
    }

    // A single box ends the monitor; a rig's box is tried again, less and less often.
    // The box as the broker and the page name it.
    QString boxName() const { return m_spec.name.isEmpty() ? QStringLiteral("box") : m_spec.name; }

    void lost()
    {
        if (m_shared.web)
            m_shared.web->setStatus(boxName(), false);
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

int runMonitor(const MonitorOptions &options)
{
    Settings settings(options.settingsPath);
    QString error;
    auto plan = commandLinePlan(
        settings.load(),
        {options.capture, options.history, options.mqtt, options.spool, {}, options.confirm},
        &error);
    if (!plan) {
        say(error);
        return 2;
    }
    // The lines, once the outputs have their events; --count ends the monitor after the
    // Nth call printed.
    // The page, from the history this monitor writes; Home Assistant's discovery.
    std::unique_ptr<WebServer> web;
    if (options.web) {
        web = std::make_unique<WebServer>(*options.web);
        if (!web->start(&error)) {
            say(error);
            return 1;
        }
        say(QStringLiteral("the page is on http://%1:%2/")
                .arg(options.web->address)
                .arg(web->port()));
    }
    std::unique_ptr<HomeAssistantDiscovery> discovery;
    if (!options.discovery.isEmpty() && plan->mqtt)
        discovery = std::make_unique<HomeAssistantDiscovery>(*plan->mqtt, options.discovery);
    int printed = 0;
    plan->printer = [&](const QByteArray &line, const Event &event) {
        printLine(line);
        if (web || discovery) {
            // The event as the broker has it, with the PC's time; the line names a rig's box.
            const QString box = QJsonDocument::fromJson(line).object().value(u"box").toString(
                QStringLiteral("box"));
            QJsonObject object = publishedEvent(event, box);
            object.insert(QStringLiteral("pc_time"),
                          QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
            if (web)
                web->publish(object);
            if (const auto *id = std::get_if<events::Identification>(&event); id && discovery)
                discovery->describe(box, {{}, id->version});
        }
        if (std::holds_alternative<events::CallerId>(event) && options.count > 0 &&
            ++printed >= options.count)
            QCoreApplication::exit(0);
    };
    OutputFactory factory(*plan);
    Shared shared{options, settings, factory, 0, {}, web.get(), discovery.get()};
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

} // namespace dialkite::cli
