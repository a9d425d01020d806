// The one main() of the benchmark programs: libxml2 set up once, then
// Google Benchmark with its usual flags.
#include "platform/XmlDom.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    kelvor::xml::initialize();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
