// Work_Queue: a fixed number of threads of the board's own that take work in the order it comes.
#ifndef TAVRELO_WORK_QUEUE_H
#define TAVRELO_WORK_QUEUE_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class Work_Queue
{
public:
    // at_end, if given, is run by each thread as it ends, for what it holds of its own.
    explicit Work_Queue(int threads, std::function<void()> at_end = std::function<void()>());
    // Finishes all work already given, then ends its threads.
    ~Work_Queue();
    Work_Queue(const Work_Queue&) = delete;
    Work_Queue& operator=(const Work_Queue&) = delete;

    void Post(std::function<void()> work);
    // Runs work on one of the threads and waits for it to end; false, with work never run, when no thread
    // took it up within wait_ms.
    bool Run(const std::function<void()>& work, int wait_ms);

private:
    void Serve();

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_work;
    bool m_ending = false;
    std::function<void()> m_at_end;
    std::vector<std::thread> m_threads;
};

#endif
