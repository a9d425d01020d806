// Command-line arguments of kelvor-tool's commands: positional values,
// "--name value" / "--name=value" options and "--flag" switches.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kelvor::cli {

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values; // by option name without "--"
    std::set<std::string> flags;
    bool help = false;
    std::string error; // not empty when the arguments are unusable

    bool has(const std::string& flag) const { return flags.count(flag) != 0; }
    std::string value(const std::string& name, const std::string& fallback = {}) const;
};

Arguments parseArguments(const std::vector<std::string>& args,
                         const std::set<std::string>& valueOptions,
                         const std::set<std::string>& flagOptions);

} // namespace kelvor::cli
