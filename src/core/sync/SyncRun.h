// One whole sync with a Tiny Tiny RSS server: subscriptions changed in the
// reader's sync category go to the server, marks both ways, new entries
// into the channels' copies, and the category file rewritten from the
// server. Everything is asked and sent first and written locally last, so a
// server that fails on the way leaves the reader's files as they were;
// marks not sent stay queued for the next sync. What the server is asked
// for is in SyncFetch.h: little when little changed.
#pragma once

#include "sync/TtRssApi.h"

#include <ctime>
#include <string>
#include <vector>

namespace kelvor::sync {

struct SyncReport {
    int channels = 0, newEntries = 0, copiesWritten = 0;
    int marksSent = 0, marksReceived = 0;
    int subscribed = 0, unsubscribed = 0;
    std::vector<std::string> notes; // what did not stop the sync, one line each
    std::string error;              // why the sync stopped; empty when it went through

    // "频道：12 个", "新条目：340 条", ... one line per step.
    std::vector<std::string> lines() const;
};

SyncReport runSync(const std::string& home, const Account& account,
                   std::time_t now = std::time(nullptr));

} // namespace kelvor::sync
