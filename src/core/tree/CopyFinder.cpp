#include "tree/CopyFinder.h"

#include "platform/ThreadPriority.h"

#include <chrono>

namespace kelvor::tree {
namespace {

// Small enough that the first channels show their state while the rest
// are looked for, large enough that a thousand cost the window few events.
constexpr size_t kBatch = 100;
// A category asks one question per channel, in a burst. Woken by the
// first, the finder lets the burst end before it takes the questions:
// answered one by one, each would have woken it again, and the window
// paid a wake-up (about 8 us) for every channel it showed.
constexpr auto kGatherBurst = std::chrono::milliseconds(5);

} // namespace

CopyFinder::CopyFinder(Deliver deliver) : deliver_(std::move(deliver)) {}

CopyFinder::~CopyFinder() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        asked_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

std::uint64_t CopyFinder::find(void* asker, ChannelCopyQuestion question) {
    std::uint64_t ticket;
    bool wake;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ticket = ++lastTicket_;
        asked_.push_back({asker, ticket, std::move(question)});
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
        // A category asks a question per channel: one wake-up takes them all.
        wake = waiting_;
        waiting_ = false;
    }
    if (wake)
        wake_.notify_one();
    return ticket;
}

void CopyFinder::run() {
    platform::lowerThisThreadForBackground();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        waiting_ = true;
        wake_.wait(lock, [this] { return stopping_ || !asked_.empty(); });
        waiting_ = false;
        if (!stopping_)
            wake_.wait_for(lock, kGatherBurst, [this] { return stopping_.load(); });
        if (stopping_)
            return;
        std::deque<Asked> asked;
        asked.swap(asked_);
        // Answered without the lock: the owner may ask more meanwhile.
        lock.unlock();
        answer(asked);
        lock.lock();
    }
}

void CopyFinder::answer(const std::deque<Asked>& asked) {
    std::vector<Found> found;
    for (const Asked& one : asked) {
        if (stopping_)
            return;
        ChannelCopy copy = locateChannelCopy(one.question.first, one.question.address);
        found.push_back(
            {one.asker, one.ticket, std::move(copy.path), copy.found, copy.expires, copy.modified});
        if (found.size() == kBatch || &one == &asked.back()) {
            deliver_(std::move(found));
            found.clear();
        }
    }
}

} // namespace kelvor::tree
