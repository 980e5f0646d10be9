#include "tally_output.h"

#include "outputs/registry.h"

#include <QFile>

namespace dialkite::test {

TallyOutput::TallyOutput(QString file, QString box)
    : Output(QStringLiteral("tally"))
    , m_file(std::move(file))
    , m_box(std::move(box))
{}

void TallyOutput::consume(const Event &event)
{
    if (std::holds_alternative<events::CallerId>(event))
        ++m_calls;
}

QString TallyOutput::finish(QDeadlineTimer)
{
    QFile out(m_file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Q_EMIT news(Severity::Stopped, out.errorString());
        return out.errorString();
    }
    out.write(QStringLiteral("%1 %2\n").arg(m_box).arg(m_calls).toUtf8());
    return {};
}

namespace {

OutputKind tallyKind()
{
    OutputKind kind;
    kind.name = QStringLiteral("tally");
    kind.section = QStringLiteral("TALLY");
    kind.keys = {QStringLiteral("FILE")};
    kind.options = {{{QStringLiteral("monitor")},
                     {QStringLiteral("--tally"),
                      QStringLiteral("FILE"),
                      QStringLiteral("count the calls into FILE"),
                      false,
                      {},
                      false,
                      QStringLiteral("TALLY"),
                      QStringLiteral("FILE")}}};
    kind.role = OutputRole::Follower;
    kind.read = [](const Config &config, FrontEnd, OutputPlan *plan, QString *) {
        if (const QString file = config.value(QStringLiteral("TALLY"), QStringLiteral("FILE"));
            !file.isEmpty())
            plan->set(QStringLiteral("tally"), file);
        return true;
    };
    kind.build = [](const OutputPlan &plan, SharedOutputs &,
                    const QString &box) -> std::unique_ptr<Output> {
        const auto *file = plan.get<QString>(QStringLiteral("tally"));
        return file ? std::make_unique<TallyOutput>(*file, box) : nullptr;
    };
    kind.news = [](Severity, const QString &text) {
        return NewsShown{QStringLiteral("Tally"), QStringLiteral("the tally stopped"),
                         QStringLiteral("tally stopped: ") + text};
    };
    return kind;
}

const bool registered = OutputRegistry::instance().add(tallyKind());

} // namespace

} // namespace dialkite::test
