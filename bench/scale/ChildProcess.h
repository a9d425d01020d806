// Running a program of the benchmark as a child of its own: its wall time,
// its processor time and the peak of its resident memory (wait4's rusage
// counts this child alone, not the shell or other programs run before it).
#pragma once

#include <string>
#include <vector>

namespace kelvor::bench {

struct ChildRun {
    bool succeeded = false; // exited with 0
    double seconds = 0;
    double maxRssMb = 0;
    double cpuSeconds = 0; // user and system, every thread
};

// Runs argv[0] (a path) with standard output and error going nowhere.
ChildRun runChild(const std::vector<std::string>& argv);

} // namespace kelvor::bench
