// Answer_Cache: the board's most read answers (its standings and pages) kept as sent, until the database is
// known to have changed.
#ifndef TAVRELO_ANSWER_CACHE_H
#define TAVRELO_ANSWER_CACHE_H

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <list>

class Answer_Cache
{
public:
    // A page and the standings are tens of kilobytes at most: a few megabytes in all.
    static constexpr int Capacity = 128;
    // How long the others are given the last answer while one caller makes it again, before another is sent
    // (the first may have failed).
    static constexpr qint64 Remake_Wait_Ms = 1000;

    // The answer kept for key, if it is still good: made at this generation of the laps taken here, and
    // at this version of the database (Board_Store's). A popular page is never made by every thread at once:
    // when only the version has moved on (another board's lap), one caller is sent to make it again and the
    // others are given the kept one meanwhile; when none is kept that may be given (a lap taken here), one
    // caller is sent to make it and the others wait for it (Remake_Wait_Ms at most). now_ms is a steady
    // clock. A caller sent to make it (false) ends with Keep or Give_Up.
    bool Find(const QString& key, quint64 generation, quint64 version, qint64 now_ms, QByteArray& type,
              QByteArray& body);
    // Keeps an answer made from what the database held at generation and version (both read before it).
    void Keep(const QString& key, quint64 generation, quint64 version, const QByteArray& type,
              const QByteArray& body);
    // The answer could not be made (the database away): whoever waits for it makes it themselves.
    void Give_Up(const QString& key);

private:
    struct Kept
    {
        QString key;
        quint64 generation;
        quint64 version;
        qint64 remaking_ms; // when a caller was sent to make it again; -1 when none was
        QByteArray type;
        QByteArray body;
    };
    using Order = std::list<Kept>; // the latest used first

    QMutex m_mutex;
    QWaitCondition m_made; // an answer that others wait for was made, or given up
    Order m_order;
    QHash<QString, Order::iterator> m_index;
    QHash<QString, quint64> m_making; // answers being made where none may be given, at their generation
};

#endif
