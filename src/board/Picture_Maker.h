// Picture_Maker: draws each lap's picture once, when it is stored, on a thread of its own, and keeps it in
// the store, so that a request for a picture is a read.
#ifndef TAVRELO_PICTURE_MAKER_H
#define TAVRELO_PICTURE_MAKER_H

#include "Board_Store.h"
#include "Level.h"

#include <QByteArray>
#include <QImage>
#include <QMutex>

#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

class Picture_Maker
{
public:
    // Laps waiting to be drawn at most: past it a burst's laps are drawn on their first request instead.
    static constexpr int Max_Waiting = 256;
    // The latest pictures read, kept in memory as well.
    static constexpr int Kept_In_Memory = 32;

    // The store is the board's; it is not owned and outlives the maker.
    explicit Picture_Maker(Board_Store& store);
    // Laps still waiting are left to be drawn on request.
    ~Picture_Maker();
    Picture_Maker(const Picture_Maker&) = delete;
    Picture_Maker& operator=(const Picture_Maker&) = delete;

    // A lap just stored, to draw and keep off the request's path.
    void Queue(const Board_Store::Entry& lap);
    // A lap's picture as a PNG: from memory, from the store, or drawn now (and kept) when it never was.
    Board_Store::Found Picture(qint64 id, QByteArray& png);
    // Waits until every lap queued so far is drawn and kept (or dropped): for tests.
    void Wait_Idle();

private:
    void Run();
    QByteArray Draw_And_Keep(const Board_Store::Entry& lap);
    void Remember(qint64 id, const QByteArray& png);

    Board_Store& m_store;
    // One picture drawn at a time: drawing text is not safe in every thread on every platform.
    QMutex m_drawing;
    // Each course laid out once and its road drawn once, when first drawn; used under m_drawing alone.
    struct Course
    {
        Level level;
        QImage backdrop;
    };
    std::map<int, std::unique_ptr<Course>> m_courses;
    QMutex m_memory_mutex;
    std::list<std::pair<qint64, QByteArray>> m_memory;

    std::mutex m_queue_mutex;
    std::condition_variable m_queue_changed;
    std::deque<Board_Store::Entry> m_waiting;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

#endif
