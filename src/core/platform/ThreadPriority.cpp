#include "platform/ThreadPriority.h"

#include <cerrno>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kelvor::platform {
namespace {

constexpr int kBackgroundNice = 10;
// From linux/ioprio.h, which not every system's headers carry.
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassBestEffort = 2;
constexpr int kIoprioLowestLevel = 7;
constexpr int kIoprioClassShift = 13;

// On Linux the nice value of PRIO_PROCESS with a thread id is that thread's.
id_t threadId() {
    return static_cast<id_t>(::syscall(SYS_gettid));
}

} // namespace

ThreadPriority lowerThisThreadForBackground() {
    // The disk too, where the I/O scheduler knows priorities: last among
    // the readers and writers of its class, never left out. Nothing is
    // lost without it.
    ::syscall(SYS_ioprio_set, kIoprioWhoProcess, threadId(),
              (kIoprioClassBestEffort << kIoprioClassShift) | kIoprioLowestLevel);
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, threadId());
    if (errno == 0 && nice >= kBackgroundNice)
        return ThreadPriority::Background;
    return ::setpriority(PRIO_PROCESS, threadId(), kBackgroundNice) == 0
               ? ThreadPriority::Background
               : ThreadPriority::Unchanged;
}

ThreadPriority priorityOfThisThread() {
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, threadId());
    return errno == 0 && nice >= kBackgroundNice ? ThreadPriority::Background
                                                 : ThreadPriority::Unchanged;
}

} // namespace kelvor::platform
