#pragma once

// The terminal shared by the boxes of a station: each box's run asks its prompts here
// from its own thread, and the person answers them one at a time, in the order they were
// asked, each naming its box. A station's page shows every waiting question on its box's
// tile and may answer any of them, in any order; the terminal then goes on to the next.
// A box waiting for its turn (or its answer) goes on serving its box meanwhile.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

class QSocketNotifier;

namespace dialkite::cli {

class StationBoard;

class PromptDesk : public QObject {
public:
    // Made on the main thread, reading standard input there; `board` (when a page shows
    // the station) is told of each question and its answer.
    explicit PromptDesk(StationBoard *board = nullptr);
    ~PromptDesk() override;

    struct Question {
        QString box;      // the box that asks (its tile on the page)
        QString terminal; // as the terminal asks it: box, question and what to type
        QString text;     // the question alone, for the page
        QStringList choices;
    };
    // Asks `question` and waits for the line that answers it, letting the calling thread's
    // events run; nothing when the input ended (and no page may answer instead).
    std::optional<QByteArray> ask(const Question &question);
    // The page's answer to question `id` (any thread); false when it waits no more.
    bool answer(quint64 id, const QByteArray &text);
    // Waits on the desk's own thread until the person presses Enter or the input ends.
    void holdUntilEnter(const QString &text);

private:
    struct Asked {
        quint64 id = 0;
        Question question;
        bool byPage = true; // the page may answer it, the input ended or not
        bool done = false;
        std::optional<QByteArray> answer;
    };
    std::optional<QByteArray> wait(const std::shared_ptr<Asked> &asked);
    void next();
    void read();

    StationBoard *m_board;
    std::mutex m_mutex; // the questions, asked from any thread
    std::deque<std::shared_ptr<Asked>> m_waiting;
    std::map<quint64, std::shared_ptr<Asked>> m_open; // not answered yet
    std::shared_ptr<Asked> m_current;                 // the one the terminal asks now
    quint64 m_lastId = 0;
    bool m_ended = false;
    QByteArray m_line; // on the desk's thread only
    std::unique_ptr<QSocketNotifier> m_input;
};

} // namespace dialkite::cli
