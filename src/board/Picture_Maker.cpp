#include "Picture_Maker.h"

#include "Png_Writer.h"
#include "Record_Picture.h"

#include <QImage>
#include <QMutexLocker>
#include <QSize>

#include <algorithm>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{
const QSize Picture_Size(1024, 768);
} // namespace

Picture_Maker::Picture_Maker(Board_Store& store) : m_store(store), m_thread([this] { Run(); }) {}

Picture_Maker::~Picture_Maker()
{
    {
        std::lock_guard<std::mutex> lock(m_queue_mutex);
        m_stopping = true;
        m_waiting.clear();
    }
    m_queue_changed.notify_all();
    m_thread.join();
}

void Picture_Maker::Queue(const Board_Store::Entry& lap)
{
    {
        std::lock_guard<std::mutex> lock(m_queue_mutex);
        if (m_stopping || static_cast<int>(m_waiting.size()) >= Max_Waiting)
            return;
        m_waiting.push_back(lap);
    }
    m_queue_changed.notify_all();
}

void Picture_Maker::Wait_Idle()
{
    std::unique_lock<std::mutex> lock(m_queue_mutex);
    m_queue_changed.wait(lock, [this] { return m_waiting.empty() && !m_busy; });
}

void Picture_Maker::Run()
{
    // Below the threads that answer and race laps again: a picture can wait, a player should not. Named, so
    // that what the pictures cost can be told apart from what answering costs.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
    pthread_setname_np(pthread_self(), "board-pictures");
    std::unique_lock<std::mutex> lock(m_queue_mutex);
    for (;;)
    {
        m_queue_changed.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
        if (m_stopping)
            return;
        const Board_Store::Entry lap = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_busy = true;
        lock.unlock();
        Remember(lap.id, Draw_And_Keep(lap));
        lock.lock();
        m_busy = false;
        m_queue_changed.notify_all();
    }
}

QByteArray Picture_Maker::Draw_And_Keep(const Board_Store::Entry& lap)
{
    QByteArray png;
    {
        QMutexLocker lock(&m_drawing);
        std::unique_ptr<Course>& course = m_courses[lap.course];
        if (!course)
        {
            course = std::make_unique<Course>();
            course->level.Init(lap.course);
            course->backdrop = Record_Picture::Backdrop(course->level, Picture_Size);
        }
        const QImage image = Record_Picture::Render(
            course->backdrop, course->level, Record_Picture::Run{lap.name, lap.time, lap.ghost}, nullptr);
        png = Png_Writer::Encode(image);
    }
    // Not kept (a full disk, the database away): it is drawn again on a later request.
    m_store.Keep_Picture(lap.id, png);
    return png;
}

void Picture_Maker::Remember(qint64 id, const QByteArray& png)
{
    QMutexLocker lock(&m_memory_mutex);
    for (auto kept = m_memory.begin(); kept != m_memory.end(); ++kept)
        if (kept->first == id)
        {
            m_memory.splice(m_memory.begin(), m_memory, kept);
            return;
        }
    m_memory.emplace_front(id, png);
    if (static_cast<int>(m_memory.size()) > Kept_In_Memory)
        m_memory.pop_back();
}

Board_Store::Found Picture_Maker::Picture(qint64 id, QByteArray& png)
{
    {
        QMutexLocker lock(&m_memory_mutex);
        for (auto kept = m_memory.begin(); kept != m_memory.end(); ++kept)
            if (kept->first == id)
            {
                m_memory.splice(m_memory.begin(), m_memory, kept);
                png = kept->second;
                return Board_Store::Found_Lap;
            }
    }
    Board_Store::Found found = m_store.Picture(id, png);
    if (found == Board_Store::No_Lap)
    {
        // A lap stored before pictures were kept, or one whose drawing was dropped or is still waiting.
        Board_Store::Entry lap;
        found = m_store.Lap(id, lap);
        if (found != Board_Store::Found_Lap)
            return found;
        png = Draw_And_Keep(lap);
        // Drawn now, it need not be drawn again if it was still waiting.
        {
            std::lock_guard<std::mutex> lock(m_queue_mutex);
            m_waiting.erase(std::remove_if(m_waiting.begin(), m_waiting.end(),
                                           [id](const Board_Store::Entry& waiting)
                                           { return waiting.id == id; }),
                            m_waiting.end());
        }
        m_queue_changed.notify_all();
    }
    if (found == Board_Store::Found_Lap)
        Remember(id, png);
    return found;
}
