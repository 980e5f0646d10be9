#pragma once

// How an output writes on a thread of its own without slowing the console's thread:
// the console's thread only appends under a short lock and wakes the writer when it
// sleeps; the writer, once woken, lets more arrive for a while (Gathering: the events of
// one record come one after another; a rig's boxes report at once) and takes everything
// waiting together: one wake-up and one write or commit for all of it, not one an
// event. Whoever waits for the writer (a printed line, a flush) waits that long more.
//
// What the writer does with a batch is its worker's: it may finish it, ask for it to
// be tried again later (a locked database, a full disk that may get room again: the
// batch stays, new items join it, and the delay grows to kLongestRetryMs), or stop (the
// output is over; everything else is dropped, and flush() no longer waits). One writer
// serves every box of a process. stop() ends the thread after what was handed over.

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace dialkite {

// What a worker made of a batch.
enum class Outcome { Done, Retry, Stop };

// How long a writer lets a burst gather once its first item wakes it: `quietMs` when it
// had been quiet (a lone call is written at once, nearly), up to `busyMs` while items keep
// coming (a busy line or a rig: one commit for many, not one for every few). Whoever waits
// for the writer waits that much more.
class Gathering {
public:
    using Clock = std::chrono::steady_clock;
    Gathering(int quietMs, int busyMs)
        : m_quiet(quietMs)
        , m_busy(busyMs)
    {}
    // How long to gather now.
    std::chrono::milliseconds now() const
    {
        const bool busy = Clock::now() - m_lastTaken < m_busy;
        return busy ? m_busy : m_quiet;
    }
    // A batch was taken.
    void taken() { m_lastTaken = Clock::now(); }

private:
    std::chrono::milliseconds m_quiet;
    std::chrono::milliseconds m_busy;
    Clock::time_point m_lastTaken;
};

template <typename Item> class Worker {
public:
    virtual ~Worker() = default;
    // On the writer's thread, before the first batch: false stops the writer at once.
    virtual bool begin() { return true; }
    // The batch, in the order the items were pushed. With Retry it comes back (with
    // whatever arrived meanwhile appended) after a growing delay.
    virtual Outcome handle(std::deque<Item> &batch) = 0;
    // On the writer's thread, after the last batch.
    virtual void end() {}
    // The thread has nothing to do and goes to sleep until the next item.
    virtual void idle() {}
};

template <typename Item> class WriterThread {
public:
    static constexpr int kFirstRetryMs = 100;
    static constexpr int kLongestRetryMs = 5000;

    WriterThread(Worker<Item> &worker, Gathering gathering)
        : m_worker(worker)
        , m_gathering(gathering)
    {}
    ~WriterThread() { stop(); }

    // Starts the thread; call once the worker is fully built. Its owner calls stop()
    // before the worker's members go.
    void start()
    {
        m_thread = std::thread([this] { run(); });
    }

    // The console's side. False when the writer has stopped and takes nothing more.
    bool push(Item item)
    {
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopped)
                return false;
            wake = m_sleeping;
            m_sleeping = false;
            m_queue.push_back(std::move(item));
            ++m_pushed;
        }
        if (wake)
            m_wake.notify_one();
        return true;
    }
    // Waits until everything pushed so far is handled, or the writer stopped, or the
    // deadline passed; true unless the deadline passed first.
    bool flush(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever))
    {
        std::unique_lock lock(m_mutex);
        const quint64 target = m_pushed;
        const auto done = [&] { return m_handled >= target || m_stopped; };
        if (deadline.isForever()) {
            m_done.wait(lock, done);
            return true;
        }
        return m_done.wait_for(lock, std::chrono::milliseconds(deadline.remainingTime()), done);
    }
    // Items pushed and not handled yet.
    quint64 waiting() const
    {
        std::lock_guard lock(m_mutex);
        return m_pushed - m_handled;
    }
    bool stopped() const
    {
        std::lock_guard lock(m_mutex);
        return m_stopped;
    }
    // Ends the thread once what was pushed is handled (or given up); waits for it.
    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    void run()
    {
        if (!m_worker.begin()) {
            giveUp();
            m_worker.end();
            return;
        }
        std::deque<Item> batch;
        int delay = 0;
        while (take(batch, delay)) {
            const quint64 count = batch.size();
            switch (m_worker.handle(batch)) {
            case Outcome::Done:
                batch.clear();
                delay = 0;
                handled(count);
                break;
            case Outcome::Retry:
                delay = delay == 0 ? kFirstRetryMs : qMin(delay * 2, kLongestRetryMs);
                break;
            case Outcome::Stop:
                batch.clear();
                giveUp();
                m_worker.end();
                return;
            }
        }
        m_worker.end();
    }

    // Everything waiting, appended to `batch`; after a retry, not before `delay` ms
    // (unless quitting). False once stop() was called and nothing is left to handle.
    bool take(std::deque<Item> &batch, int delay)
    {
        std::unique_lock lock(m_mutex);
        if (delay > 0) {
            m_wake.wait_for(lock, std::chrono::milliseconds(delay), [this] { return m_quit; });
            if (m_quit && m_retriesAtQuit++ > 3)
                return false; // what still fails at the end is given up
        }
        if (m_queue.empty() && batch.empty()) {
            if (m_quit)
                return false;
            lock.unlock();
            m_worker.idle();
            lock.lock();
            while (m_queue.empty() && !m_quit) {
                m_sleeping = true;
                m_wake.wait(lock);
            }
            m_sleeping = false;
            if (m_queue.empty())
                return false; // stopped with nothing left
            // The rest of the burst: pushes meanwhile do not wake anybody.
            if (!m_quit)
                m_wake.wait_for(lock, m_gathering.now(), [this] { return m_quit; });
        }
        m_gathering.taken();
        if (batch.empty()) {
            batch.swap(m_queue);
        } else {
            for (Item &item : m_queue)
                batch.push_back(std::move(item));
            m_queue.clear();
        }
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
    void giveUp()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
            m_queue.clear();
        }
        m_done.notify_all();
    }

    Worker<Item> &m_worker;
    Gathering m_gathering;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<Item> m_queue;
    quint64 m_pushed = 0;
    quint64 m_handled = 0;
    int m_retriesAtQuit = 0;
    bool m_quit = false;
    bool m_stopped = false;
    bool m_sleeping = false;
    std::thread m_thread;
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

// Items from any thread to `owner`'s thread, taken there together: one queued call for
// however many arrive before it runs (a burst of a broker's messages wakes the owner
// once). The owner outlives the hand-over, which outlives whoever pushes.
template <typename Item> class Handover {
public:
    using Take = std::function<void(std::deque<Item> &items)>;
    Handover(QObject *owner, Take take)
        : m_owner(owner)
        , m_take(std::move(take))
    {}

    void push(Item item)
    {
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            m_items.push_back(std::move(item));
            wake = !m_scheduled;
            m_scheduled = true;
        }
        if (wake)
            QMetaObject::invokeMethod(
                m_owner, [this] { drain(); }, Qt::QueuedConnection);
    }
    // Items pushed and not taken yet.
    size_t waiting() const
    {
        std::lock_guard lock(m_mutex);
        return m_items.size();
    }
    // Takes what waits now, on the owner's thread.
    void drain()
    {
        std::deque<Item> items;
        {
            std::lock_guard lock(m_mutex);
            items.swap(m_items);
            m_scheduled = false;
        }
        if (!items.empty())
            m_take(items);
    }

private:
    QObject *m_owner;
    Take m_take;
    mutable std::mutex m_mutex;
    std::deque<Item> m_items;
    bool m_scheduled = false;
};

} // namespace dialkite
