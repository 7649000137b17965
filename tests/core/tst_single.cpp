// The owning pointer and the one-instance guard: ownership, deletion, and the assertions.
#include "Global_Singleton"
#include "Single"
#include "Test_Support.h"

#include <QtTest>

namespace
{
struct Counted
{
    explicit Counted(int* deletions) : m_deletions(deletions) {}
    virtual ~Counted() { ++*m_deletions; }
    int* m_deletions;
};

struct Lap_Timer
{
    virtual ~Lap_Timer() = default;
};

class Options : public Global_Singleton<Options>
{
};

class Impostor : public Global_Singleton<Impostor>
{
};

// Child-process modes: each ends in an assertion (or must not).
int Run_Child_Mode(const QByteArray& mode)
{
    if (mode == "empty_single")
    {
        Single<Lap_Timer> empty;
        empty.operator->();
    }
    else if (mode == "second_instance")
    {
        Options first;
        Options second;
    }
    else if (mode == "unregistered_destroy")
    {
        Impostor* a = new Impostor;
        *Impostor::Get_Global_Ptr() = nullptr;
        Impostor b; // now the registered one
        delete a;
    }
    return 0;
}
} // namespace

class Test_Single : public QObject
{
    Q_OBJECT

private slots:
    void destroying_an_empty_single_deletes_nothing()
    {
        Single<Counted> empty;
        QVERIFY(empty.Get() == nullptr);
    }

    void destruction_deletes_the_object_once()
    {
        int deletions = 0;
        {
            Single<Counted> owner(new Counted(&deletions));
            QVERIFY(owner.Get() != nullptr);
        }
        QCOMPARE(deletions, 1);
    }

    void assignment_moves_ownership_and_deletes_the_old_object_once()
    {
        int old_deletions = 0;
        int new_deletions = 0;
        Counted* moved = new Counted(&new_deletions);
        {
            Single<Counted> a(new Counted(&old_deletions));
            Single<Counted> b(moved);
            a = b;
            QCOMPARE(old_deletions, 1);
            QVERIFY(b.Get() == nullptr);
            QVERIFY(a.Get() == moved);
            QCOMPARE(a->m_deletions, &new_deletions);
            QCOMPARE(new_deletions, 0);
        }
        QCOMPARE(old_deletions, 1);
        QCOMPARE(new_deletions, 1);
    }

    void assigning_an_empty_single_empties_both()
    {
        int deletions = 0;
        Single<Counted> full(new Counted(&deletions));
        Single<Counted> empty;
        full = empty;
        QCOMPARE(deletions, 1);
        QVERIFY(full.Get() == nullptr);
        QVERIFY(empty.Get() == nullptr);
    }

    void self_assignment_keeps_the_object()
    {
        int deletions = 0;
        Single<Counted> owner(new Counted(&deletions));
        Counted* held = owner.Get();
        Single<Counted>& same = owner;
        owner = same;
        QCOMPARE(deletions, 0);
        QVERIFY(owner.Get() == held);
    }

    void the_slot_is_cleared_when_the_instance_dies()
    {
        {
            Options first;
            QVERIFY(*Options::Get_Global_Ptr() == &first);
        }
        QVERIFY(*Options::Get_Global_Ptr() == nullptr);
        Options again;
        QVERIFY(*Options::Get_Global_Ptr() == &again);
    }

    void assertions_stop_the_program_with_their_messages_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty single")
            << "empty_single"
            << QStringList{"Single:48", "m_ptr != 0",
                           "T* Single<T>::operator->() [with T = {anonymous}::Lap_Timer]"};
        QTest::newRow("second instance")
            << "second_instance"
            << QStringList{"Global_Singleton:23", "*Get_Global_Ptr() == 0",
                           "Global_Singleton<T>::Global_Singleton() [with T = {anonymous}::Options]"};
        QTest::newRow("unregistered destroy")
            << "unregistered_destroy"
            << QStringList{"Global_Singleton:28", "*Get_Global_Ptr() == this",
                           "Global_Singleton<T>::~Global_Singleton() [with T = {anonymous}::Impostor]"};
    }
    void assertions_stop_the_program_with_their_messages()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, expected);
        const Child_Run child = Run_Self_As_Child("TAVRELO_CHILD_MODE", mode);
        QVERIFY(child.finished);
        QCOMPARE(child.status, QProcess::CrashExit);
        for (const QString& text : expected)
            QVERIFY2(child.errors.contains(text),
                     qPrintable(QString("missing '%1' in: %2").arg(text, child.errors)));
    }
};

int main(int argc, char** argv)
{
    const QByteArray mode = qgetenv("TAVRELO_CHILD_MODE");
    if (!mode.isEmpty())
        return Run_Child_Mode(mode);
    QCoreApplication app(argc, argv);
    Test_Single test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_single.moc"
