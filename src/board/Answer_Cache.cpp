#include "Answer_Cache.h"

bool Answer_Cache::Find(const QString& key, quint64 generation, quint64 version, qint64 now_ms,
                        QByteArray& type, QByteArray& body)
{
    QMutexLocker lock(&m_mutex);
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return false;
    const Order::iterator kept = *found;
    // Made before a lap taken here: never given again, since the player who sent it may be the next to ask.
    if (kept->generation != generation)
        return false;
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
    m_order.push_front(Kept{key, generation, version, -1, type, body});
    m_index.insert(key, m_order.begin());
    if (m_order.size() > static_cast<size_t>(Capacity))
    {
        m_index.remove(m_order.back().key);
        m_order.pop_back();
    }
}
