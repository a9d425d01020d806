// Background threads (indexing, finding the channels' copies, answering the
// tree's counts and the search box) give way to downloads, conversions and
// the window. They do not give way to a standstill: at SCHED_IDLE they got
// no time at all while another program kept every core busy, and the
// tree's counts and the search box waited for it.
#pragma once

namespace kelvor::platform {

enum class ThreadPriority {
    Background, // nice 10: about a tenth of a core against a busy thread
    Unchanged,  // the kernel refused
};

// Lowers the calling thread (only it, not the process) for the rest of its
// life: an unprivileged thread cannot come back up, so this is for threads
// made for background work. Threads it starts inherit the priority.
ThreadPriority lowerThisThreadForBackground();

// What the calling thread runs at now.
ThreadPriority priorityOfThisThread();

} // namespace kelvor::platform
