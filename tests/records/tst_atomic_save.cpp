// A game killed while it saves a record leaves the old record or the new one, never half a file.
#include "Options.h"
#include "Test_Support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace
{
constexpr int Ghost_Characters = 53994; // the longest ghost that is saved

// Record number i: a full-length ghost whose characters spell i, and a time
// derived from i, so that a file holding a time of one save and a ghost of
// another, or a ghost cut short, is told apart.
QString Ghost_Of(int i)
{
    QString ghost = "baba";
    const QString digits = QString::number(i).rightJustified(8, '0');
    while (ghost.size() < Ghost_Characters)
        for (QChar digit : digits)
            ghost.append(QChar('a' + digit.digitValue()));
    ghost.truncate(Ghost_Characters);
    return ghost;
}
float Time_Of(int i)
{
    return 30.0f + float(i);
}

// The child: saves record after record until it is killed.
int Save_For_Ever(const QString& dir, int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Isolate_Settings(dir);
    Options options;
    for (int i = 1;; ++i)
        options.Write_Record(0, Time_Of(i), Ghost_Of(i));
}
} // namespace

class Test_Atomic_Save : public QObject
{
    Q_OBJECT

private slots:
    void a_kill_while_saving_leaves_a_whole_record()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.path() + "/Norvikk/Tavrelo.ini";
        int whole_records = 0;
        for (int round = 0; round < 12; ++round)
        {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("TAVRELO_SAVE_FOR_EVER", dir.path());
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), QStringList());
            QVERIFY(child.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 10000);
            QTest::qWait(20 + QRandomGenerator::global()->bounded(200));
            // A child that failed to start has no id, and a signal to -1 reaches every process.
            QCOMPARE(child.state(), QProcess::Running);
            QVERIFY(child.processId() > 0);
            ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(10000));

            QSettings settings(file, QSettings::IniFormat);
            QCOMPARE(settings.status(), QSettings::NoError);
            const QString ghost = settings.value("level0/ghost").toString();
            QCOMPARE(ghost.size(), Ghost_Characters);
            QString digits;
            for (QChar c : ghost.mid(4, 8))
                digits.append(QChar('0' + (c.unicode() - 'a')));
            const int i = digits.toInt();
            QVERIFY(i > 0);
            QCOMPARE(ghost, Ghost_Of(i));
            QCOMPARE(settings.value("level0/time").toFloat(), Time_Of(i));
            ++whole_records;
        }
        QCOMPARE(whole_records, 12);
    }
};

int main(int argc, char** argv)
{
    const QString dir = QString::fromLocal8Bit(qgetenv("TAVRELO_SAVE_FOR_EVER"));
    if (!dir.isEmpty())
        return Save_For_Ever(dir, argc, argv);
    QCoreApplication app(argc, argv);
    Test_Atomic_Save test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_atomic_save.moc"
