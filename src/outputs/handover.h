#pragma once

// How an output's own thread takes events from the console's thread without slowing it:
// the console's thread only appends under a short lock; the writer takes everything
// waiting at once, looks again every kPollMs while events keep coming, and sleeps after
// a quiet second until the next event wakes it (one wake-up a burst, not one an event).
// After a failure everything is dropped and flush() no longer waits.

#include <QMetaObject>
#include <QPointer>
#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace dialkite {

template <typename Item> class Handover {
public:
    static constexpr int kPollMs = 2;
    static constexpr int kQuietPolls = 500;

    // The console's side. False when the writer has failed and takes nothing more.
    bool push(Item item)
    {
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_failed)
                return false;
            wake = m_sleeping && m_queue.empty();
            m_queue.push_back(std::move(item));
            ++m_pushed;
        }
        if (wake)
            m_wake.notify_one();
        return true;
    }
    // Waits until everything pushed so far is handled (or the writer failed).
    void flush()
    {
        std::unique_lock lock(m_mutex);
        const quint64 target = m_pushed;
        m_done.wait(lock, [&] { return m_handled >= target || m_failed; });
    }
    void quit()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
    }

    // The writer's side: everything waiting, into `batch`; false once quit() was called
    // and nothing is left.
    bool take(std::deque<Item> &batch)
    {
        std::unique_lock lock(m_mutex);
        const auto ready = [this] { return m_quit || !m_queue.empty(); };
        while (m_queue.empty()) {
            if (m_quit)
                return false;
            if (!m_wake.wait_for(lock, std::chrono::milliseconds(kPollMs), ready) &&
                ++m_quietPolls >= kQuietPolls) {
                m_sleeping = true;
                m_wake.wait(lock, ready);
                m_sleeping = false;
            }
        }
        m_quietPolls = 0;
        batch.swap(m_queue);
        return true;
    }
    void handled(quint64 count)
    {
        {
            std::lock_guard lock(m_mutex);
            m_handled += count;
        }
        m_done.notify_all();
    }
    void fail()
    {
        {
            std::lock_guard lock(m_mutex);
            m_failed = true;
            m_queue.clear();
        }
        m_done.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<Item> m_queue;
    quint64 m_pushed = 0;
    quint64 m_handled = 0;
    int m_quietPolls = 0;
    bool m_quit = false;
    bool m_failed = false;
    bool m_sleeping = false;
};

// Runs `call(object)` later on `object`'s own thread, if the object still exists then:
// how a writer's thread tells its owner what happened.
template <typename Object, typename Call> void onOwnerThread(Object *object, Call call)
{
    QPointer<Object> owner(object);
    QMetaObject::invokeMethod(
        object,
        [owner, call = std::move(call)] {
            if (owner)
                call(owner.data());
        },
        Qt::QueuedConnection);
}

} // namespace dialkite
