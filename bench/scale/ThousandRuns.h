// The work the thousand-channel rows share, done once per run of the
// program when a row first needs it: the refreshes that write the copies,
// then the index made of those copies from nothing.
#pragma once

#include <vector>

namespace kelvor::bench {

struct RefreshRounds {
    std::vector<double> refresh, floor; // seconds, one per round
    std::vector<double> refreshCpu, floorCpu; // processor seconds
    double maxRssMb = 0;                // kelvor-tool's peak, over the rounds
    bool failed = false;
};

struct IndexRun {
    double seconds = 0, processorSeconds = 0;
    double databaseBytes = 0, copiesBytes = 0;
    bool failed = false;
};

RefreshRounds& refreshRounds();
IndexRun& indexRun(); // after refreshRounds(), into an empty kelvor.db

// User and system time of this process so far.
double processorSeconds();

} // namespace kelvor::bench
