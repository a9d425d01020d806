#include "browser/NewWindowPolicy.h"

namespace kelvor::browser {

bool isRecentPress(SteadyTime now, SteadyTime pressTime) {
    return now >= pressTime && now - pressTime < kUserClickWindow;
}

NewWindowAction decideNewWindow(bool userInitiated, bool singleWindow, bool blockPopups) {
    if (userInitiated)
        return singleWindow ? NewWindowAction::Refuse : NewWindowAction::OpenActive;
    // With pop-ups blocked the request still goes to the tab view, which
    // hands out its hidden sink page, so the opener gets a window to talk to.
    if (singleWindow && !blockPopups)
        return NewWindowAction::Refuse;
    return NewWindowAction::OpenBackground;
}

} // namespace kelvor::browser
