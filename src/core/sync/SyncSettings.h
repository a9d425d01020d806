// The sync account as the window keeps it for the tool too: <home>/sync.json
// with {"server": ..., "user": ...}. The password is never written there;
// the window keeps it elsewhere and the tool takes it from
// KELVOR_SYNC_PASSWORD.
#pragma once

#include <string>

namespace kelvor::sync {

struct SyncSettings {
    std::string server, user;
};

// Empty fields when the file is missing or unreadable.
SyncSettings readSyncSettings(const std::string& home);
// Atomically; false with the reason in error.
bool writeSyncSettings(const std::string& home, const SyncSettings& settings, std::string& error);

} // namespace kelvor::sync
