#include "sync/SyncSettings.h"

#include "platform/AtomicFile.h"

#include <nlohmann/json.hpp>

namespace kelvor::sync {

SyncSettings readSyncSettings(const std::string& home) {
    std::string bytes;
    if (!platform::readWholeFile(home + "/sync.json", bytes))
        return {};
    nlohmann::json json = nlohmann::json::parse(bytes, nullptr, false);
    if (!json.is_object())
        return {};
    auto text = [&json](const char* name) {
        auto found = json.find(name);
        return found != json.end() && found->is_string() ? found->get<std::string>()
                                                         : std::string();
    };
    return {text("server"), text("user")};
}

bool writeSyncSettings(const std::string& home, const SyncSettings& settings, std::string& error) {
    nlohmann::json json = {{"server", settings.server}, {"user", settings.user}};
    return platform::writeFileAtomically(home + "/sync.json", json.dump(2) + "\n", &error);
}

} // namespace kelvor::sync
