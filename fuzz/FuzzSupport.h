// Helpers shared by the fuzz targets: a scratch folder for the process, a
// field splitter for structured inputs, and a loud failure for broken
// invariants (abort, so libFuzzer keeps the input as a crash).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvor::fuzz {

// A folder of its own for this process (under $TMPDIR, else /dev/shm when
// there is one, so atomic saves do not wear a disk), removed at exit.
const std::string& scratchFolder();

// Splits the input at its first count-1 newlines; the last field is the
// rest, newlines included. Missing fields are empty.
std::vector<std::string> splitFields(const uint8_t* data, size_t size, size_t count);

// Prints what broke and the values involved, then aborts.
[[noreturn]] void fail(const std::string& what, const std::vector<std::string>& details = {});

} // namespace kelvor::fuzz
