// Golden files of the feed conversions, in tests/fixtures/feeds/. Running a
// test with KELVOR_UPDATE_GOLDEN=1 writes what it got instead of comparing,
// for reviewing a deliberate change with git diff. Such a run fails on
// purpose: it compared nothing, so it must never pass for a green one.
#pragma once

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace kelvor::test {

inline void expectGolden(const std::string& actual, const std::string& expectedName) {
    ASSERT_FALSE(actual.empty());
    std::string path = std::string(KELVOR_TEST_FIXTURES) + "/feeds/" + expectedName;
    if (const char* update = std::getenv("KELVOR_UPDATE_GOLDEN"); update && *update == '1') {
        std::ofstream out(path, std::ios::binary);
        out << actual;
        out.close();
        ADD_FAILURE() << (out ? "golden file written, nothing compared: "
                              : "cannot write golden file ")
                      << path << " (KELVOR_UPDATE_GOLDEN=1)";
        return;
    }
    EXPECT_EQ(actual, readFile(path)) << "golden file " << expectedName;
}

} // namespace kelvor::test
