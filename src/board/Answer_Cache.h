// Answer_Cache: the board's most read answers (its standings and pages) kept as sent, until a lap is taken
// here or they are half a second old.
#ifndef TAVRELO_ANSWER_CACHE_H
#define TAVRELO_ANSWER_CACHE_H

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <atomic>
#include <list>

class Answer_Cache
{
public:
    // Boards that share a database learn of each other's laps only by reading it again: an answer older than
    // this is made again, so another board's lap shows here within it (and the time to make the answer).
    static constexpr qint64 Max_Age_Ms = 500;
    // A page and the standings are tens of kilobytes at most: a few megabytes in all.
    static constexpr int Capacity = 128;

    // The board's state as far as this process knows it: read before reading the database for an answer.
    quint64 Generation() const { return m_generation.load(); }
    // A lap was taken (or may have been): every kept answer is old.
    void Changed() { ++m_generation; }

    // The answer kept for key, if it is still good at now_ms (a steady clock). When it has only aged, one
    // caller is sent to make it again and the others are given the kept one meanwhile, so that a popular page
    // is not made by every thread at once.
    bool Find(const QString& key, qint64 now_ms, QByteArray& type, QByteArray& body);
    // Keeps an answer made from what the database held after generation.
    void Keep(const QString& key, quint64 generation, qint64 now_ms, const QByteArray& type,
              const QByteArray& body);

private:
    struct Kept
    {
        QString key;
        quint64 generation;
        qint64 made_ms;
        qint64 remaking_ms; // when a caller was sent to make it again; -1 when none was
        QByteArray type;
        QByteArray body;
    };
    using Order = std::list<Kept>; // the latest used first

    std::atomic<quint64> m_generation{0};
    QMutex m_mutex;
    Order m_order;
    QHash<QString, Order::iterator> m_index;
};

#endif
