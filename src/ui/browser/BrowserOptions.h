// The three browsing options, kept as 0/1 integers in the settings group
// "Settings": read once by the tab view, written at every change.
#pragma once

namespace kelvor::browser {

struct BrowserOption {
    const char* valueName;
    bool defaultValue;
};

constexpr BrowserOption kSilentOption{"Silent", true};
constexpr BrowserOption kPopupOption{"Popup", false};
constexpr BrowserOption kSdiOption{"Sdi", false};

bool readOption(const BrowserOption& option);
void writeOption(const BrowserOption& option, bool value);

} // namespace kelvor::browser
