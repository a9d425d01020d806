// The floor of a refresh: libxml2 alone parses each feed file, builds the
// converted tree (items to TreeNode elements) and saves it, on a fixed
// number of threads. No network, no queue, no DOM wrapper.
#pragma once

#include <libxml/tree.h>

#include <string>
#include <vector>

namespace kelvor::bench {

// Parses a file with libxml2 alone. (The program's DOM refuses every
// external load, the main document of xmlReadFile included, so the file is
// handed over as a descriptor.)
xmlDocPtr readWithLibxml(const std::string& path);

void convertFilesWithLibxml(const std::vector<std::string>& inputs, const std::string& outputFolder,
                            int threads);

} // namespace kelvor::bench
