#include "factory.h"
#include "history.h"

#include "history/location.h"
#include "history/phonebook.h"

namespace dialkite {

OutputPlan desktopPlan(const Profile &settings, OutputHooks hooks)
{
    const Config config = Config::build(settings, OutputRegistry::instance().environment());
    QString error;
    // The settings file's mistakes are problems of the plan, never errors.
    return planOutputs(config, FrontEnd::Desktop, std::move(hooks), &error).value_or(OutputPlan{});
}

OutputFactory::OutputFactory(OutputPlan plan)
    : m_plan(std::move(plan))
{}

OutputFactory::~OutputFactory() = default;

bool OutputFactory::start(QString *error)
{
    m_started = true;
    for (const OutputKind &kind : OutputRegistry::instance().kinds()) {
        QString said;
        if (kind.start && !kind.start(m_plan, m_shared, &said, error))
            return false;
        if (!said.isEmpty())
            m_said << said;
    }
    return true;
}

std::unique_ptr<OutputSet> OutputFactory::build(const QString &box)
{
    if (!m_started) {
        QString error;
        if (!start(&error))
            m_plan.problems << error;
    }
    auto outputs = std::make_unique<OutputSet>();
    // The phonebook of the history the outputs keep, else of the console's own.
    const auto book = m_shared.get<Phonebook>(QStringLiteral("phonebook"), [this] {
        const auto *history = m_plan.get<HistoryPlan>(QStringLiteral("history"));
        auto made = std::make_shared<Phonebook>(
            history && !history->path.isEmpty() ? history->path : defaultHistoryFile());
        made->start();
        return made;
    });
    outputs->setNames([book](const QString &number) { return book->nameOf(number); });
    for (const OutputKind &kind : OutputRegistry::instance().kinds()) {
        std::unique_ptr<Output> output = kind.build ? kind.build(m_plan, m_shared, box) : nullptr;
        if (!output)
            continue;
        if (kind.role == OutputRole::Follower)
            outputs->addFollower(std::move(output));
        else
            outputs->add(std::move(output));
    }
    return outputs;
}

} // namespace dialkite
