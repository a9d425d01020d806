#include "cli/IndexProgress.h"

#include <chrono>
#include <cstdio>
#include <memory>

namespace kelvor::cli {

store::IndexProgress indexProgressOnStderr(const char* command) {
    using Clock = std::chrono::steady_clock;
    auto last = std::make_shared<Clock::time_point>(Clock::now());
    return [command, last](int looked, int found) {
        Clock::time_point now = Clock::now();
        if (now - *last < std::chrono::milliseconds(500))
            return;
        *last = now;
        std::fprintf(stderr, "kelvor-tool %s: 正在建立索引，已查看 %d/%d 个文件…\n", command,
                     looked, found);
    };
}

} // namespace kelvor::cli
