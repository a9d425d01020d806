// How long the reader takes to come up, with and without its store: the
// release kelvor, from process start until its main window is shown with the
// first level of the tree loaded (KELVOR_QUIT_WHEN_UP makes it say so and
// quit), under the offscreen platform, on a home folder with 200 cached
// channels of 500 entries (100,000 entries, about 110 MB) listed in 我的收藏,
// the first item of the tree, so every channel asks the store for its unread
// count at start:
//   - with a fully built kelvor.db of the collection
//   - without kelvor.db (a copy of the same home): the program makes an
//     empty one and fills it in the background, as on a first start
// Rounds alternate between the two so that the load of the machine falls on
// both alike; each row is the median of its runs. Aim: with at most 1.1 x
// without. How long each close took is kept as a counter (exit_ms).
#include "Collection.h"
#include "TempPath.h"
#include "store/Indexer.h"
#include "store/Store.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kChannels = 200;
constexpr int kEntries = 500;
constexpr int kRounds = 7;
constexpr auto kGiveUp = std::chrono::seconds(120);

struct Launch {
    double upMs = -1, exitMs = -1;
};

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Starts kelvor on home and waits for "kelvor: up", then for its exit.
Launch launch(const std::string& home, const std::string& state) {
    int out[2];
    if (pipe(out) != 0)
        return {};
    Clock::time_point start = Clock::now();
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        close(out[0]);
        setenv("KELVOR_QUIT_WHEN_UP", "1", 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Settings, browser profile and caches of these runs stay beside them.
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                                     "XDG_STATE_HOME"})
            setenv(variable, state.c_str(), 1);
        execl(KELVOR_PATH, KELVOR_PATH, "--home", home.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    Launch result;
    std::string seen;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        seen.append(buffer, static_cast<size_t>(n));
        if (seen.find("kelvor: up") != std::string::npos) {
            result.upMs = msBetween(start, Clock::now());
            break;
        }
    }
    close(out[0]);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() - start > kGiveUp) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return {};
        }
        usleep(2000);
    }
    result.exitMs = msBetween(start, Clock::now()) - std::max(result.upMs, 0.0);
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

struct Results {
    std::vector<double> withUp, withoutUp, withExit, withoutExit;

    Results() {
        std::string with = kelvor::bench::tempPath("kelvor-bench-window/with");
        std::string without = kelvor::bench::tempPath("kelvor-bench-window/without");
        std::string state = kelvor::bench::tempPath("kelvor-bench-window/state");
        kelvor::bench::writeCollection(with, kChannels, kEntries);
        fs::remove_all(without);
        fs::create_directories(without);
        fs::copy(with, without, fs::copy_options::recursive | fs::copy_options::create_hard_links);
        fs::create_directories(state);
        for (int round = 0; round < kRounds; ++round) {
            {
                // Whatever an earlier run left, the store is complete again.
                kelvor::store::Store store(with);
                kelvor::store::updateIndex(store);
            }
            for (const char* suffix : {"", "-wal", "-shm"})
                fs::remove(kelvor::store::Store::pathFor(without) + suffix);
            Launch a = launch(with, state);
            Launch b = launch(without, state);
            if (a.upMs < 0 || b.upMs < 0)
                continue;
            withUp.push_back(a.upMs);
            withExit.push_back(a.exitMs);
            withoutUp.push_back(b.upMs);
            withoutExit.push_back(b.exitMs);
        }
    }
};

Results& results() {
    static Results instance;
    return instance;
}

void windowStart(benchmark::State& state) {
    Results& r = results();
    bool with = state.range(0) == 1;
    const std::vector<double>& up = with ? r.withUp : r.withoutUp;
    if (up.empty()) {
        state.SkipWithError("kelvor did not come up");
        return;
    }
    for (auto _ : state)
        state.SetIterationTime(median(up) / 1000);
    state.counters["runs"] = static_cast<double>(up.size());
    state.counters["exit_ms"] = median(with ? r.withExit : r.withoutExit);
}

} // namespace

BENCHMARK(windowStart)
    ->Name("WindowStart/with-store")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(windowStart)
    ->Name("WindowStart/without-store")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
