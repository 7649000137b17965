#include "Work_Queue.h"

#include <algorithm>
#include <chrono>
#include <memory>

Work_Queue::Work_Queue(int threads, std::function<void()> at_end) : m_at_end(std::move(at_end))
{
    for (int i = 0; i < std::max(threads, 1); ++i)
        m_threads.emplace_back([this] { Serve(); });
}

Work_Queue::~Work_Queue()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ending = true;
    }
    m_ready.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void Work_Queue::Post(std::function<void()> work)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_work.push_back(std::move(work));
    }
    m_ready.notify_one();
}

bool Work_Queue::Run(const std::function<void()>& work, int wait_ms)
{
    // Shared with the queued job, which may outlive this call when it gives up waiting.
    struct Turn
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool started = false;
        bool done = false;
        bool abandoned = false;
    };
    const auto turn = std::make_shared<Turn>();
    Post(
        [turn, &work]
        {
            {
                std::lock_guard<std::mutex> lock(turn->mutex);
                if (turn->abandoned)
                    return;
                turn->started = true;
                turn->changed.notify_all();
            }
            work();
            std::lock_guard<std::mutex> lock(turn->mutex);
            turn->done = true;
            turn->changed.notify_all();
        });
    std::unique_lock<std::mutex> lock(turn->mutex);
    turn->changed.wait_for(lock, std::chrono::milliseconds(wait_ms), [&] { return turn->started; });
    if (!turn->started)
    {
        turn->abandoned = true;
        return false;
    }
    turn->changed.wait(lock, [&] { return turn->done; });
    return true;
}

void Work_Queue::Serve()
{
    for (;;)
    {
        std::function<void()> work;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_ready.wait(lock, [this] { return m_ending || !m_work.empty(); });
            if (m_work.empty())
                break;
            work = std::move(m_work.front());
            m_work.pop_front();
        }
        work();
    }
    if (m_at_end)
        m_at_end();
}
