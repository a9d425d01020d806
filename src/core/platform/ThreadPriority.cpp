#include "platform/ThreadPriority.h"

#include <cerrno>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kelvor::platform {
namespace {

constexpr int kLowestNice = 19;
// From linux/ioprio.h, which not every system's headers carry.
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassIdle = 3;
constexpr int kIoprioClassShift = 13;

// On Linux the nice value of PRIO_PROCESS with a thread id is that thread's.
id_t threadId() { return static_cast<id_t>(::syscall(SYS_gettid)); }

} // namespace

ThreadPriority lowerThisThreadToIdle() {
    // The disk too: where the I/O scheduler knows priorities, the thread's
    // reads and writes wait for everyone else's. Nothing is lost without it.
    ::syscall(SYS_ioprio_set, kIoprioWhoProcess, threadId(), kIoprioClassIdle << kIoprioClassShift);
    sched_param param{};
    param.sched_priority = 0;
    if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0)
        return ThreadPriority::Idle;
    if (::setpriority(PRIO_PROCESS, threadId(), kLowestNice) == 0)
        return ThreadPriority::Lowest;
    return ThreadPriority::Unchanged;
}

ThreadPriority priorityOfThisThread() {
    int policy = 0;
    sched_param param{};
    if (pthread_getschedparam(pthread_self(), &policy, &param) == 0 && policy == SCHED_IDLE)
        return ThreadPriority::Idle;
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, threadId());
    return errno == 0 && nice >= kLowestNice ? ThreadPriority::Lowest : ThreadPriority::Unchanged;
}

} // namespace kelvor::platform
