#pragma once

// The one contract of everything that consumes the console's events: the capture, the
// call history, the MQTT publisher, the monitor's JSON lines, and every output to come.
//
//  - consume() takes an event on the console's thread and returns at once: an output
//    that touches a disk or a network hands the event to a writer thread (writer.h).
//  - finish() brings what was taken to its place, waiting no longer than a deadline,
//    and says what it left undone.
//  - news() is the one channel for what the operator should hear, with a severity: a
//    notice, a problem the output works around, or the output has stopped. An output
//    that fails never stops the console.
//  - A durable output (the history, the spool) says how many of the events it was given
//    are safe; a front end shows or prints an event only once every durable output has
//    it (OutputSet's followers), so a killed program never showed what it did not keep.

#include "severity.h"

#include "console/events.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace dialkite {

// An event as an output set shares it with all its outputs: made once, kept by whichever
// outputs hand it to a thread of their own, never copied for each.
using SharedEvent = std::shared_ptr<const Event>;

class Output : public QObject {
    Q_OBJECT
public:
    explicit Output(QString name, QObject *parent = nullptr)
        : QObject(parent)
        , m_name(std::move(name))
    {}

    // "capture", "history", "mqtt", "json": how the operator's messages name it.
    const QString &name() const { return m_name; }

    virtual void consume(const Event &event) = 0;
    // The event as the set shares it: an output that keeps events for later keeps this.
    virtual void take(const SharedEvent &event) { consume(*event); }
    // What is still undone when the deadline passes ("" when everything is in place).
    virtual QString finish(QDeadlineTimer deadline) = 0;

    // Durable outputs keep events where a killed program finds them again.
    virtual bool durable() const { return false; }
    // How many of the events given so far are kept, or will never be (the output has
    // stopped, the event is not one it keeps). Only durable outputs are asked.
    virtual quint64 committedCount() const { return 0; }

Q_SIGNALS:
    void news(dialkite::Severity severity, const QString &text);
    // committedCount() grew.
    void committed();

private:
    QString m_name;
};

// The outputs of one console. The console's events come in once (consume()); every
// output takes each at once; followers take it once every durable output has
// committed it, in order.
class OutputSet : public QObject {
    Q_OBJECT
public:
    explicit OutputSet(QObject *parent = nullptr);
    ~OutputSet() override;

    void add(std::unique_ptr<Output> output);
    void addFollower(std::unique_ptr<Output> output);
    bool isEmpty() const { return m_outputs.empty() && m_followers.empty(); }
    // The output called `name`, if there is one.
    Output *find(const QString &name) const;

    // The caller's name of a number ("" for none): every call is given its name before
    // any output takes it (a published call keeps its publisher's name when this has none).
    void setNames(std::function<QString(const QString &number)> names)
    {
        m_names = std::move(names);
    }

    // Connected to Console::observed.
    void consume(const Event &event);
    // Every output brought to its place within the one deadline (the durable ones
    // first, so the followers get what they committed); "name: what is undone" each.
    QStringList finish(QDeadlineTimer deadline);

Q_SIGNALS:
    // An output's news, with its name.
    void news(const QString &output, dialkite::Severity severity, const QString &text);

private:
    SharedEvent named(const Event &event) const;
    void adopt(Output *output);
    void release();

    std::vector<std::unique_ptr<Output>> m_outputs;
    std::vector<std::unique_ptr<Output>> m_followers;
    std::vector<Output *> m_durable;
    std::function<QString(const QString &)> m_names;
    std::deque<SharedEvent> m_held; // given to the durable outputs, not yet to the followers
    quint64 m_given = 0;            // events taken so far
    quint64 m_released = 0;         // of which the followers have
};

} // namespace dialkite
