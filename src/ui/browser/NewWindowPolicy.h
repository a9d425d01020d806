// What happens when a document asks for a new window: a press in the page
// shortly before makes it the user's wish, anything else is a pop-up.
#pragma once

#include <chrono>

namespace kelvor::browser {

using SteadyTime = std::chrono::steady_clock::time_point;

// A press counts for this long after it happened.
constexpr std::chrono::milliseconds kUserClickWindow{4000};

bool isRecentPress(SteadyTime now, SteadyTime pressTime);

enum class NewWindowAction {
    Refuse,          // no window at all
    OpenActive,      // a new tab, activated
    OpenBackground,  // a new background tab, or the hidden sink when pop-ups are blocked
};

NewWindowAction decideNewWindow(bool userInitiated, bool singleWindow, bool blockPopups);

} // namespace kelvor::browser
