#include "feeds/UrlShortcut.h"

#include "platform/Text.h"

#include <cctype>
#include <fstream>

namespace kelvor::feeds {
namespace {

// A shortcut is a few hundred bytes; anything bigger is not one worth reading.
constexpr std::streamsize kMaxShortcutFile = 64 * 1024;

std::string unquote(std::string value) {
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                              (value.front() == '\'' && value.back() == '\'')))
        value = value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::string shortcutUrlFromText(const std::string& text) {
    bool inSection = false;
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = platform::trimmed(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            inSection = close != std::string::npos &&
                        platform::lowerAscii(platform::trimmed(line.substr(1, close - 1))) ==
                            "internetshortcut";
            continue;
        }
        size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos ||
            platform::lowerAscii(platform::trimmed(line.substr(0, equals))) != "url")
            continue;
        std::string value = unquote(platform::trimmed(line.substr(equals + 1)));
        if (value.size() > kMaxShortcutUrl)
            value.resize(kMaxShortcutUrl);
        return value;
    }
    return {};
}

std::string readShortcutUrl(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string text(static_cast<size_t>(kMaxShortcutFile), '\0');
    in.read(text.data(), kMaxShortcutFile);
    text.resize(static_cast<size_t>(in.gcount()));
    return shortcutUrlFromText(text);
}

} // namespace kelvor::feeds
