// Background threads (indexing) must give way to downloads, conversions and
// the window: they run only on CPU time no one else wants.
#pragma once

namespace kelvor::platform {

enum class ThreadPriority {
    Idle,      // SCHED_IDLE: runs only when a core has nothing else to do
    Lowest,    // the kernel refused SCHED_IDLE; nice 19 for this thread
    Unchanged, // neither was allowed
};

// Lowers the calling thread (only it, not the process) for the rest of its
// life: an unprivileged thread cannot come back up, so this is for threads
// made for background work. Threads it starts inherit the priority.
ThreadPriority lowerThisThreadToIdle();

// What the calling thread runs at now.
ThreadPriority priorityOfThisThread();

} // namespace kelvor::platform
