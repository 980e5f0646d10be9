#include "factory.h"

#include <QStandardPaths>
#include <QSysInfo>

namespace dialkite {

namespace {

constexpr qint64 kMegabyte = 1024 * 1024;
constexpr qint64 kLargestCaptureLimitMb = 1000000;

// Section CAPTURE: RECORD=0 turns it off, FOLDER moves it, LIMIT_MB caps all captures
// together (default 200; 1 to 1,000,000).
std::optional<CaptureOptions> captureOptions(const Profile &settings, QStringList *problems)
{
    const QString section = QStringLiteral("CAPTURE");
    if (settings.value(section, QStringLiteral("RECORD")).trimmed() == QLatin1String("0"))
        return std::nullopt;
    CaptureOptions options;
    options.folder = settings.value(section, QStringLiteral("FOLDER"));
    if (options.folder.isEmpty())
        options.folder = defaultCaptureFolder();
    const QString limit = settings.value(section, QStringLiteral("LIMIT_MB")).trimmed();
    if (!limit.isEmpty()) {
        bool ok = false;
        const qint64 megabytes = limit.toLongLong(&ok);
        if (ok && megabytes >= 1 && megabytes <= kLargestCaptureLimitMb)
            options.folderLimit = megabytes * kMegabyte;
        else
            problems->append(
                QStringLiteral("[CAPTURE] LIMIT_MB=%1 is not 1 to %2; captures keep to %3 MB")
                    .arg(limit)
                    .arg(kLargestCaptureLimitMb)
                    .arg(options.folderLimit / kMegabyte));
    }
    options.program = QStringLiteral("dialkite " DIALKITE_VERSION);
    return options;
}

} // namespace

QString defaultCaptureFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/dialkite/captures");
}

OutputPlan desktopPlan(const Profile &settings)
{
    OutputPlan plan;
    plan.capture = captureOptions(settings, &plan.problems);
    plan.history = historyFile(settings);
    plan.spool = defaultSpoolFile();
    const QString section = QStringLiteral("MQTT");
    if (const QString url = settings.value(section, QStringLiteral("URL")); !url.isEmpty()) {
        QString error;
        const QString box = settings.value(section, QStringLiteral("BOX"));
        plan.mqttBox = box.isEmpty() ? QSysInfo::machineHostName() : box;
        plan.mqtt = mqttTarget(url, settings, &error);
        if (const QString problem = boxNameProblem(plan.mqttBox); plan.mqtt && !problem.isEmpty())
            error = problem;
        if (!error.isEmpty()) {
            plan.mqtt.reset();
            plan.problems.append(
                QStringLiteral("settings [MQTT]: %1; nothing is published").arg(error));
        }
    }
    return plan;
}

std::optional<OutputPlan> commandLinePlan(const Profile &settings, const OutputOverrides &overrides,
                                          QString *error)
{
    OutputPlan plan;
    if (!overrides.captureFile.isEmpty())
        plan.capture = CaptureOptions{
            overrides.captureFile, {}, 0, QStringLiteral("dialkite-cli " DIALKITE_VERSION)};
    if (!overrides.historyFile.isEmpty())
        plan.history = overrides.historyFile;
    plan.spool = overrides.spool.isEmpty() ? defaultSpoolFile() : overrides.spool;
    plan.mqttBox = QStringLiteral("box");
    if (!overrides.mqttUrl.isEmpty()) {
        plan.mqtt = mqttTarget(overrides.mqttUrl, settings, error);
        if (!plan.mqtt)
            return std::nullopt;
        plan.mqtt->clientId = overrides.clientId;
        if (overrides.confirm == u"broker")
            plan.mqtt->confirmByBroker = true;
        else if (overrides.confirm == u"collector")
            plan.mqtt->confirmByBroker = false;
        else if (!overrides.confirm.isEmpty()) {
            *error = QStringLiteral("--confirm takes collector or broker");
            return std::nullopt;
        }
    }
    return plan;
}

OutputFactory::OutputFactory(OutputPlan plan)
    : m_plan(std::move(plan))
{}

OutputFactory::~OutputFactory() = default;

std::unique_ptr<OutputSet> OutputFactory::build(const QString &box)
{
    auto outputs = std::make_unique<OutputSet>();
    if (m_plan.capture) {
        if (!m_captureWriter)
            m_captureWriter = startCaptureWriter();
        outputs->add(std::make_unique<CaptureOutput>(m_captureWriter, *m_plan.capture));
    }
    if (m_plan.history) {
        if (!m_historyStore)
            m_historyStore = historyStore(*m_plan.history);
        outputs->add(std::make_unique<HistoryOutput>(m_historyStore, box));
    }
    if (m_plan.mqtt) {
        if (!m_mqttLink)
            m_mqttLink = mqttLink(*m_plan.mqtt, m_plan.spool);
        outputs->add(
            std::make_unique<MqttOutput>(m_mqttLink, box.isEmpty() ? m_plan.mqttBox : box));
    }
    if (m_plan.printer)
        outputs->addFollower(std::make_unique<json::LinesOutput>(box, m_plan.printer));
    return outputs;
}

} // namespace dialkite
