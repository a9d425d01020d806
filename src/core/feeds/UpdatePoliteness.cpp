#include "feeds/UpdatePoliteness.h"

#include <algorithm>

namespace kelvor::feeds {

bool UpdatePoliteness::mayAsk(const std::string& channel, Clock::time_point now) const {
    auto found = notBefore_.find(channel);
    return found == notBefore_.end() || now >= found->second;
}

void UpdatePoliteness::asked(const std::string& channel, Clock::time_point now) {
    Clock::time_point& until = notBefore_[channel];
    until = std::max(until, now + gap_);
}

void UpdatePoliteness::toldToWait(const std::string& channel, long seconds, Clock::time_point now) {
    if (seconds < 0)
        return;
    // A day is the most any server's word holds us to; a wrong date in the
    // header must not silence a channel for good.
    constexpr long kLongestWait = 24 * 3600;
    Clock::time_point& until = notBefore_[channel];
    until = std::max(until, now + std::chrono::seconds(std::min(seconds, kLongestWait)));
}

} // namespace kelvor::feeds
