#include "cli/Arguments.h"

namespace kelvor::cli {

std::string Arguments::value(const std::string& name, const std::string& fallback) const {
    auto it = values.find(name);
    return it == values.end() ? fallback : it->second;
}

Arguments parseArguments(const std::vector<std::string>& args,
                         const std::set<std::string>& valueOptions,
                         const std::set<std::string>& flagOptions) {
    Arguments parsed;
    for (size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            parsed.help = true;
            continue;
        }
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            parsed.positional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        size_t equals = name.find('=');
        if (equals != std::string::npos) {
            std::string given = name.substr(equals + 1);
            name.resize(equals);
            if (valueOptions.count(name))
                parsed.values[name] = given;
            else
                parsed.error = "unknown option --" + name;
        } else if (flagOptions.count(name)) {
            parsed.flags.insert(name);
        } else if (!valueOptions.count(name)) {
            parsed.error = "unknown option --" + name;
        } else if (i + 1 >= args.size()) {
            parsed.error = "option --" + name + " needs a value";
        } else {
            parsed.values[name] = args[++i];
        }
    }
    return parsed;
}

} // namespace kelvor::cli
