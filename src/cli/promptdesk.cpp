#include "promptdesk.h"

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

PromptDesk::PromptDesk()
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

std::optional<QByteArray> PromptDesk::ask(const QString &question)
{
    auto asked = std::make_shared<Question>();
    asked->text = question;
    QMetaObject::invokeMethod(this, [this, asked] {
        m_waiting.push_back(asked);
        if (!m_current)
            next();
    });
    // The box's own events go on while the person gets to it.
    for (;;) {
        {
            std::lock_guard lock(asked->mutex);
            if (asked->done)
                return asked->answer;
        }
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void PromptDesk::next()
{
    m_current.reset();
    if (m_waiting.empty())
        return;
    m_current = m_waiting.front();
    m_waiting.pop_front();
    if (m_ended) {
        std::lock_guard lock(m_current->mutex);
        m_current->done = true;
        QMetaObject::invokeMethod(
            this, [this] { next(); }, Qt::QueuedConnection);
        return;
    }
    std::fprintf(stderr, "  ?     %s ", m_current->text.toUtf8().constData());
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
    m_ended = n <= 0;
    m_input->setEnabled(false);
    if (m_current) {
        std::lock_guard lock(m_current->mutex);
        m_current->done = true;
        if (!m_ended)
            m_current->answer = m_line.trimmed();
    }
    next();
#endif
}

} // namespace dialkite::cli
