#include "Busy_Cores.h"

#include <QThread>

Busy_Cores::Busy_Cores(int seconds)
{
    for (int core = 0; core < QThread::idealThreadCount(); ++core)
    {
        std::unique_ptr<QProcess> process(new QProcess);
        // timeout passes the end of the test on to the loop it runs.
        process->start("timeout", {QString::number(seconds), "sh", "-c", "while :; do :; done"});
        if (process->waitForStarted(5000))
            m_processes.push_back(std::move(process));
    }
}

Busy_Cores::~Busy_Cores()
{
    for (const std::unique_ptr<QProcess>& process : m_processes)
        if (process->state() != QProcess::NotRunning)
            process->terminate();
    for (const std::unique_ptr<QProcess>& process : m_processes)
        process->waitForFinished(5000);
}

int Busy_Cores::Running() const
{
    int running = 0;
    for (const std::unique_ptr<QProcess>& process : m_processes)
        running += process->state() == QProcess::Running;
    return running;
}
