// Rate_Limiter: how many submissions each address may send a minute, as a bucket that refills steadily.
#ifndef TAVRELO_RATE_LIMITER_H
#define TAVRELO_RATE_LIMITER_H

#include <QMutex>
#include <QString>

#include <QHash>

class Rate_Limiter
{
public:
    // per_minute 0: no limit.
    explicit Rate_Limiter(int per_minute);

    // Whether address may send one more now (milliseconds on a steady clock); takes it if so.
    bool Allow(const QString& address, qint64 now_ms);

    // Addresses remembered at most; full buckets are forgotten first.
    static constexpr qsizetype Max_Addresses = 100000;

private:
    struct Bucket
    {
        double tokens;
        qint64 last_ms;
    };
    int m_per_minute;
    QMutex m_mutex;
    QHash<QString, Bucket> m_buckets;
};

#endif
