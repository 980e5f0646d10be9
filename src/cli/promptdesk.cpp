#include "promptdesk.h"

#include "stationboard.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <cstdio>
#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace dialkite::cli {

PromptDesk::PromptDesk(StationBoard *board)
    : m_board(board)
{
#if defined(Q_OS_UNIX)
    m_input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    m_input->setEnabled(false);
    connect(m_input.get(), &QSocketNotifier::activated, this, [this] { read(); });
#else
    m_ended = true; // a station's prompts need a terminal it can read without blocking
#endif
}

PromptDesk::~PromptDesk() = default;

std::optional<QByteArray> PromptDesk::ask(const Question &question)
{
    auto asked = std::make_shared<Asked>();
    asked->question = question;
    {
        std::lock_guard lock(m_mutex);
        asked->id = ++m_lastId;
        m_open[asked->id] = asked;
        m_waiting.push_back(asked);
    }
    if (m_board)
        m_board->asked(question.box, asked->id, question.text, question.choices);
    std::optional<QByteArray> answer = wait(asked);
    if (m_board)
        m_board->answered(question.box, asked->id);
    return answer;
}

bool PromptDesk::answer(quint64 id, const QByteArray &text)
{
    bool current = false;
    {
        std::lock_guard lock(m_mutex);
        const auto open = m_open.find(id);
        if (open == m_open.end())
            return false;
        open->second->done = true;
        open->second->answer = text;
        current = open->second == m_current;
        m_open.erase(open);
    }
    // The terminal asked it: it goes on to the next question.
    if (current)
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                std::fprintf(stderr, "%s\n",
                             qUtf8Printable(QCoreApplication::translate(
                                                "dialkite", "(answered on the page: %1)")
                                                .arg(QString::fromUtf8(text))));
                next();
            },
            Qt::QueuedConnection);
    return true;
}

void PromptDesk::holdUntilEnter(const QString &text)
{
    auto asked = std::make_shared<Asked>();
    asked->question.terminal = text;
    asked->byPage = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_ended)
            return;
        asked->id = ++m_lastId;
        m_open[asked->id] = asked;
        m_waiting.push_back(asked);
    }
    wait(asked);
}

std::optional<QByteArray> PromptDesk::wait(const std::shared_ptr<Asked> &asked)
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            bool idle = false;
            {
                std::lock_guard lock(m_mutex);
                idle = !m_current;
            }
            if (idle)
                next();
        },
        Qt::QueuedConnection);
    // The box's own events go on while the person gets to it.
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (asked->done)
                return asked->answer;
        }
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// The terminal's next question, once the one before is answered; with the input ended, a
// question fails unless the page may still answer it.
void PromptDesk::next()
{
    std::shared_ptr<Asked> current;
    {
        std::lock_guard lock(m_mutex);
        m_current.reset();
        while (!m_waiting.empty() && !m_current) {
            std::shared_ptr<Asked> front = m_waiting.front();
            m_waiting.pop_front();
            if (front->done)
                continue;
            if (!m_ended) {
                m_current = front;
            } else if (!front->byPage || !m_board) {
                front->done = true;
                m_open.erase(front->id);
            }
        }
        current = m_current;
    }
    if (!current) {
        if (m_input)
            m_input->setEnabled(false);
        return;
    }
    std::fprintf(stderr, "%s ", current->question.terminal.toUtf8().constData());
    std::fflush(stderr);
    m_line.clear();
    if (m_input)
        m_input->setEnabled(true);
}

void PromptDesk::read()
{
#if defined(Q_OS_UNIX)
    char c = 0;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n > 0 && c != '\n') {
        if (m_line.size() < 200)
            m_line += c;
        return;
    }
    m_input->setEnabled(false);
    {
        std::lock_guard lock(m_mutex);
        m_ended = n <= 0;
        if (m_current && !m_current->done && (!m_ended || !m_current->byPage || !m_board)) {
            m_current->done = true;
            if (!m_ended)
                m_current->answer = m_line.trimmed();
            m_open.erase(m_current->id);
        }
    }
    next();
#endif
}

} // namespace dialkite::cli
