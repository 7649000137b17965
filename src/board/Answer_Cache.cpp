#include "Answer_Cache.h"

#include <QDeadlineTimer>

bool Answer_Cache::Find(const QString& key, quint64 generation, quint64 version, qint64 now_ms,
                        QByteArray& type, QByteArray& body)
{
    QMutexLocker lock(&m_mutex);
    const qint64 waited_from = now_ms;
    Order::iterator kept;
    for (;;)
    {
        const auto found = m_index.constFind(key);
        // Made before a lap taken here: never given again, since the player who sent it may be the next to
        // ask.
        if (found != m_index.constEnd() && (*found)->generation == generation)
        {
            kept = *found;
            break;
        }
        const auto making = m_making.constFind(key);
        const bool others_make_it = making != m_making.constEnd() && *making == generation;
        const qint64 left = Remake_Wait_Ms - (now_ms - waited_from);
        if (!others_make_it || left <= 0)
        {
            m_making.insert(key, generation);
            return false;
        }
        QDeadlineTimer deadline(left);
        m_made.wait(&m_mutex, deadline);
        now_ms += left - deadline.remainingTime();
    }
    if (kept->version != version)
    {
        const bool being_made = kept->remaking_ms >= 0 && now_ms - kept->remaking_ms <= Remake_Wait_Ms;
        if (!being_made)
        {
            kept->remaking_ms = now_ms;
            return false;
        }
    }
    m_order.splice(m_order.begin(), m_order, kept);
    type = kept->type;
    body = kept->body;
    return true;
}

void Answer_Cache::Keep(const QString& key, quint64 generation, quint64 version, const QByteArray& type,
                        const QByteArray& body)
{
    QMutexLocker lock(&m_mutex);
    const auto found = m_index.find(key);
    if (found != m_index.end())
    {
        m_order.erase(*found);
        m_index.erase(found);
    }
    if (m_making.value(key) == generation)
        m_making.remove(key);
    m_made.wakeAll();
    m_order.push_front(Kept{key, generation, version, -1, type, body});
    m_index.insert(key, m_order.begin());
    if (m_order.size() > static_cast<size_t>(Capacity))
    {
        m_index.remove(m_order.back().key);
        m_order.pop_back();
    }
}

void Answer_Cache::Give_Up(const QString& key)
{
    QMutexLocker lock(&m_mutex);
    m_making.remove(key);
    m_made.wakeAll();
}
