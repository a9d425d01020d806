// Starting the release kelvor on a home folder under the offscreen
// platform until it says it is up (KELVOR_QUIT_WHEN_UP), with a session to
// restore written beforehand: which items of the tree are open.
#pragma once

#include <string>

namespace kelvor::bench {

// The settings of a reader whose XDG folders are stateFolder: the last
// session closed with `category` open and the first `openChannels` of its
// channels (ThousandSet::channelTitle) open too.
void writeSession(const std::string& stateFolder, const std::string& home,
                  const std::string& category, int openChannels);

struct ReaderUp {
    double upMs = -1;  // from exec until "kelvor: up"; -1 when it never came
    double pssMb = -1; // its proportional set size at that moment, when asked
};

// Starts kelvor, waits until it is up and lets it quit. With measureMemory
// the reader holds (KELVOR_QUIT_WHEN_UP=hold) while its smaps_rollup is read,
// then quits when its standard input closes.
ReaderUp launchReader(const std::string& home, const std::string& stateFolder, bool measureMemory);

} // namespace kelvor::bench
