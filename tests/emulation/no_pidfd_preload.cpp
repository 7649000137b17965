// Preloaded into the tests when they run under qemu-user (see tests/CMakeLists.txt).
//
// Qt asks the kernel whether it can wait on a process through a pidfd with a
// raw waitid(P_PIDFD) system call. Under qemu-user that reaches the host
// kernel, which says yes, but qemu then refuses the clone(CLONE_PIDFD) that
// follows; Qt 5.15 does not notice, keeps -1 as the child's id and sends
// SIGKILL to -1 when the QProcess goes. Answering the probe with ENOSYS makes
// Qt start children with a plain fork(), which qemu runs correctly.
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <sys/syscall.h>

namespace
{
constexpr long Wait_On_Pidfd = 3; // P_PIDFD, which older headers lack
using Syscall = long (*)(long, ...);
} // namespace

extern "C" long syscall(long number, ...) noexcept
{
    va_list list;
    va_start(list, number);
    long a[6];
    for (long& argument : a)
        argument = va_arg(list, long);
    va_end(list);
    if (number == SYS_waitid && a[0] == Wait_On_Pidfd)
    {
        errno = ENOSYS;
        return -1;
    }
    const Syscall next = reinterpret_cast<Syscall>(dlsym(RTLD_NEXT, "syscall"));
    return next(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}
