#pragma once

// The terminal shared by the boxes of a station: each box's run asks its prompts here
// from its own thread, and the person answers them one at a time, in the order they were
// asked, each naming its box. A box waiting for its turn (or its answer) goes on serving
// its box meanwhile.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

class QSocketNotifier;

namespace dialkite::cli {

class PromptDesk : public QObject {
public:
    // Made on the main thread, reading standard input there.
    PromptDesk();
    ~PromptDesk() override;

    // Asks `question` (the box's name in it) and waits for the line that answers it,
    // letting the calling thread's events run; nothing when the input ended. Any thread
    // but the desk's own.
    std::optional<QByteArray> ask(const QString &question);

private:
    struct Question {
        QString text;
        std::mutex mutex;
        bool done = false;
        std::optional<QByteArray> answer;
    };
    void next();
    void read();

    std::deque<std::shared_ptr<Question>> m_waiting; // on the desk's thread only
    std::shared_ptr<Question> m_current;
    QByteArray m_line;
    bool m_ended = false;
    std::unique_ptr<QSocketNotifier> m_input;
};

} // namespace dialkite::cli
