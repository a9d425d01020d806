// Stand-ins for the main window and message boxes that record what the
// widgets asked of them, so tests never block on a modal box.
#pragma once

#include "frame/FrameInterface.h"

#include <string>
#include <vector>

namespace kelvor::test {

struct RecordedMessage {
    std::string text;
    std::string caption;
    app::MessageIcon icon;
};

class RecordingMessageBoxes : public app::IMessageBoxes {
  public:
    RecordingMessageBoxes() { app::setMessageBoxes(this); }
    ~RecordingMessageBoxes() override { app::setMessageBoxes(nullptr); }

    int show(const std::string& text, const std::string& caption, app::MessageIcon icon,
             app::MessageButtons) override {
        messages.push_back({text, caption, icon});
        return answer;
    }

    std::vector<RecordedMessage> messages;
    int answer = app::kIdOk;
};

// Each call is recorded as "Operation(argument)".
class RecordingFrame : public app::IMainFrame {
  public:
    RecordingFrame() : previous_(app::mainFrame()) { app::setMainFrame(this); }
    ~RecordingFrame() override { app::setMainFrame(previous_); }

    void NavigateTo(const std::string& address) override {
        calls.push_back("NavigateTo(" + address + ")");
    }
    void SetAddressText(const std::string& text) override {
        calls.push_back("SetAddressText(" + text + ")");
    }
    void SetStatusText(const std::string& text) override { status.push_back(text); }
    CKelvorView* OpenNewPage(bool activate) override {
        calls.push_back(std::string("OpenNewPage(") + (activate ? "1" : "0") + ")");
        return nullptr;
    }
    void NavigatePage(CKelvorView*, const std::string& address) override {
        calls.push_back("NavigatePage(" + address + ")");
    }
    void ShowDescription(const std::string& text) override {
        calls.push_back("ShowDescription(" + text + ")");
    }
    void RunBookmarklet(const std::string& address) override {
        calls.push_back("RunBookmarklet(" + address + ")");
    }

    std::vector<std::string> calls;
    std::vector<std::string> status;

  private:
    app::IMainFrame* previous_;
};

} // namespace kelvor::test
