#include "Rate_Limiter.h"

#include <algorithm>

Rate_Limiter::Rate_Limiter(int per_minute) : m_per_minute(std::max(per_minute, 0)) {}

bool Rate_Limiter::Allow(const QString& address, qint64 now_ms)
{
    if (m_per_minute == 0)
        return true;
    const double capacity = m_per_minute;
    const double per_ms = capacity / 60000.0;
    QMutexLocker lock(&m_mutex);
    if (m_buckets.size() >= Max_Addresses)
    {
        // A flood of addresses must not grow the table without end: a full bucket holds nothing to remember.
        m_buckets.removeIf([&](const QHash<QString, Bucket>::iterator& bucket)
                           { return bucket->tokens + (now_ms - bucket->last_ms) * per_ms >= capacity; });
        if (m_buckets.size() >= Max_Addresses)
            return false;
    }
    auto found = m_buckets.find(address);
    if (found == m_buckets.end())
        found = m_buckets.insert(address, Bucket{capacity, now_ms});
    Bucket& bucket = found.value();
    bucket.tokens = std::min(capacity, bucket.tokens + std::max<qint64>(now_ms - bucket.last_ms, 0) * per_ms);
    bucket.last_ms = now_ms;
    if (bucket.tokens < 1.0)
        return false;
    bucket.tokens -= 1.0;
    return true;
}
