// Busy_Cores: a busy process per core beside a test for as long as it lives, so that what the test checks
// is seen to hold on a loaded machine.
#ifndef TAVRELO_BUSY_CORES_H
#define TAVRELO_BUSY_CORES_H

#include <QProcess>

#include <memory>
#include <vector>

class Busy_Cores
{
public:
    // Each process ends after seconds even if the test dies without ending it.
    explicit Busy_Cores(int seconds = 600);
    ~Busy_Cores();
    Busy_Cores(const Busy_Cores&) = delete;
    Busy_Cores& operator=(const Busy_Cores&) = delete;

    // The processes that started and still run.
    int Running() const;

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

#endif
