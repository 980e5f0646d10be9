#include "output.h"

#include <algorithm>
#include <limits>

namespace dialkite {

OutputSet::OutputSet(QObject *parent)
    : QObject(parent)
{}

OutputSet::~OutputSet() = default;

void OutputSet::adopt(Output *output)
{
    connect(output, &Output::news, this, [this, output](Severity severity, const QString &text) {
        Q_EMIT news(output->name(), severity, text);
    });
}

void OutputSet::add(std::unique_ptr<Output> output)
{
    adopt(output.get());
    if (output->durable()) {
        m_durable.push_back(output.get());
        connect(output.get(), &Output::committed, this, &OutputSet::release);
    }
    m_outputs.push_back(std::move(output));
}

void OutputSet::addFollower(std::unique_ptr<Output> output)
{
    adopt(output.get());
    m_followers.push_back(std::move(output));
}

Output *OutputSet::find(const QString &name) const
{
    for (const auto *list : {&m_outputs, &m_followers}) {
        for (const auto &output : *list) {
            if (output->name() == name)
                return output.get();
        }
    }
    return nullptr;
}

// The event as the outputs take it: a call with its caller's name.
SharedEvent OutputSet::named(const Event &event) const
{
    if (m_names) {
        if (const auto *call = std::get_if<events::CallerId>(&event)) {
            events::CallerId withName = *call;
            withName.name = m_names(QString::fromLatin1(call->digits));
            return std::make_shared<const Event>(std::move(withName));
        }
        const auto *published = std::get_if<events::Published>(&event);
        if (published && published->event.value(QLatin1String("event")).toString() == u"call") {
            const QString name =
                m_names(published->event.value(QLatin1String("digits")).toString());
            if (!name.isEmpty()) {
                events::Published withName = *published;
                withName.event.insert(QStringLiteral("name"), name);
                return std::make_shared<const Event>(std::move(withName));
            }
        }
    }
    return std::make_shared<const Event>(event);
}

void OutputSet::consume(const Event &event)
{
    ++m_given;
    const SharedEvent shared = named(event);
    for (const auto &output : m_outputs)
        output->take(shared);
    if (m_followers.empty()) {
        m_released = m_given;
        return;
    }
    m_held.push_back(shared);
    release();
}

// The followers get every event that all durable outputs have committed, in order.
void OutputSet::release()
{
    quint64 safe = m_given;
    for (const Output *output : m_durable)
        safe = std::min(safe, output->committedCount());
    while (m_released < safe && !m_held.empty()) {
        const SharedEvent event = std::move(m_held.front());
        m_held.pop_front();
        ++m_released;
        for (const auto &follower : m_followers)
            follower->take(event);
    }
}

QStringList OutputSet::finish(QDeadlineTimer deadline)
{
    QStringList undone;
    const auto finishAll = [&](const std::vector<std::unique_ptr<Output>> &outputs) {
        for (const auto &output : outputs) {
            const QString left = output->finish(deadline);
            if (!left.isEmpty())
                undone << output->name() + QStringLiteral(": ") + left;
        }
    };
    finishAll(m_outputs);
    release();
    finishAll(m_followers);
    return undone;
}

} // namespace dialkite
