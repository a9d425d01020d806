#include "cli/IndexProgress.h"

#include "store/Database.h"
#include "store/Indexer.h"
#include "store/StoreProblem.h"

#include <chrono>
#include <cstdio>

namespace kelvor::cli {

void updateIndexFor(const char* command, store::Store& db) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point last = Clock::now();
    auto progress = [command, &last](int looked, int found) {
        Clock::time_point now = Clock::now();
        if (now - last < std::chrono::milliseconds(500))
            return;
        last = now;
        std::fprintf(stderr, "kelvor-tool %s: 正在建立索引，已查看 %d/%d 个文件…\n", command,
                     looked, found);
    };
    try {
        store::updateIndex(db, nullptr, progress);
    } catch (const store::StoreError& error) {
        if (error.damaged())
            throw;
        std::fprintf(stderr, "kelvor-tool %s: %s\n", command, store::indexProblemText(error).c_str());
    }
}

} // namespace kelvor::cli
