#include "tree/CopyFinder.h"

namespace kelvor::tree {
namespace {

// Small enough that the first channels show their state while the rest
// are looked for, large enough that a thousand cost the window few events.
constexpr size_t kBatch = 100;

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
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ticket = ++lastTicket_;
        asked_.push_back({asker, ticket, std::move(question)});
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    wake_.notify_one();
    return ticket;
}

void CopyFinder::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !asked_.empty(); });
        std::vector<Found> found = answerSome(lock);
        if (stopping_)
            return;
        // Delivered without the lock: the owner may ask more meanwhile.
        lock.unlock();
        deliver_(std::move(found));
        lock.lock();
    }
}

std::vector<CopyFinder::Found> CopyFinder::answerSome(std::unique_lock<std::mutex>& lock) {
    std::vector<Found> found;
    while (!stopping_ && !asked_.empty() && found.size() < kBatch) {
        Asked asked = std::move(asked_.front());
        asked_.pop_front();
        lock.unlock();
        ChannelCopy copy = locateChannelCopy(asked.question.first, asked.question.address);
        found.push_back({asked.asker, asked.ticket, std::move(copy.path)});
        lock.lock();
    }
    return found;
}

} // namespace kelvor::tree
