// How often a channel may be asked for again: an update asks every channel
// in its scope whatever the age of its copy, so it keeps to a short gap
// between two questions to the same feed, and to the wait a server asked for
// (Retry-After) when it answered "too many requests" or "unavailable".
#pragma once

#include <chrono>
#include <map>
#include <string>

namespace kelvor::feeds {

class UpdatePoliteness {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::minutes kDefaultGap{3};

    explicit UpdatePoliteness(std::chrono::seconds gap = kDefaultGap) : gap_(gap) {}

    // True when `channel` (its cache file) was not asked within the gap and
    // no server wait for it is still running.
    bool mayAsk(const std::string& channel, Clock::time_point now = Clock::now()) const;
    void asked(const std::string& channel, Clock::time_point now = Clock::now());
    // The server said to come back in `seconds` (negative: it said nothing).
    void toldToWait(const std::string& channel, long seconds, Clock::time_point now = Clock::now());

  private:
    std::chrono::seconds gap_;
    std::map<std::string, Clock::time_point> notBefore_;
};

} // namespace kelvor::feeds
