#include "ReaderLaunch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

namespace kelvor::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kGiveUp = std::chrono::seconds(300);

[[noreturn]] void execReader(const std::string& home, const std::string& stateFolder, int input,
                             int output, bool hold) {
    dup2(input, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    setenv("KELVOR_QUIT_WHEN_UP", hold ? "hold" : "1", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Settings, browser profile and caches of these runs stay beside them.
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                                 "XDG_STATE_HOME"})
        setenv(variable, stateFolder.c_str(), 1);
    execl(KELVOR_PATH, KELVOR_PATH, "--home", home.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

bool readUntilUp(int output) {
    std::string seen;
    char buffer[256];
    for (ssize_t n; (n = read(output, buffer, sizeof buffer)) > 0;) {
        seen.append(buffer, static_cast<size_t>(n));
        if (seen.find("kelvor: up") != std::string::npos)
            return true;
    }
    return false;
}

// "Pss:  123456 kB" of /proc/PID/smaps_rollup, in megabytes.
double pssMb(pid_t pid) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string key;
    double kilobytes = 0;
    while (rollup >> key) {
        if (key == "Pss:" && rollup >> kilobytes)
            return kilobytes / 1024;
        rollup.ignore(1 << 16, '\n');
    }
    return -1;
}

void awaitExit(pid_t child, Clock::time_point start) {
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() - start > kGiveUp) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return;
        }
        usleep(2000);
    }
}

} // namespace

ReaderUp launchReader(const std::string& home, const std::string& stateFolder, bool measureMemory) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return {};
    Clock::time_point start = Clock::now();
    pid_t child = fork();
    if (child == 0) {
        close(in[1]);
        close(out[0]);
        execReader(home, stateFolder, in[0], out[1], measureMemory);
    }
    close(in[0]);
    close(out[1]);
    ReaderUp result;
    if (readUntilUp(out[0])) {
        result.upMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (measureMemory)
            result.pssMb = pssMb(child);
    }
    close(in[1]); // a holding reader quits now
    close(out[0]);
    awaitExit(child, start);
    return result;
}

} // namespace kelvor::bench
