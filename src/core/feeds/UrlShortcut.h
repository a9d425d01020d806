// Internet shortcut files (NAME.url): INI text with the address under
// [InternetShortcut] URL=...
#pragma once

#include <string>

namespace kelvor::feeds {

// The longest address read from a shortcut, in bytes (the profile-string
// buffer of the original reader held 2048 bytes including its terminator).
constexpr size_t kMaxShortcutUrl = 2047;

// The URL value of the InternetShortcut section, or "" when the file, the
// section or the key is missing. Section and key names are matched without
// regard to case; surrounding blanks and one pair of quotes are removed.
std::string readShortcutUrl(const std::string& path);

// The same, from the file's text.
std::string shortcutUrlFromText(const std::string& text);

} // namespace kelvor::feeds
