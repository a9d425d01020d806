// kelvor-tool probe: what the new-channel dialog asks of an address before
// the channel is made.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "feeds/ChannelProbe.h"

#include <cstdio>

namespace kelvor::cli {
namespace {

const char* const kUsage =
    "usage: kelvor-tool probe ADDRESS [--timeout SECONDS]\n"
    "\n"
    "Reads ADDRESS (http or https address, file:// address or local path) as a\n"
    "channel's download would and prints the feed's own title and the feed's\n"
    "address: the address itself, or the feed a web page names. Exits 1, with\n"
    "the error on stderr, when no feed can be read from it.\n"
    "\n"
    "  --timeout SECONDS  give up a web load after this long (default 60)\n";

} // namespace

int runProbe(const std::vector<std::string>& args) {
    Arguments parsed;
    if (auto exitCode =
            parseCommandArguments(args, {"timeout"}, {}, "probe", "ADDRESS", kUsage, parsed))
        return *exitCode;
    xml::LoadOptions options;
    if (!applyTimeout(parsed.value("timeout"), options.connectTimeoutMs, options.totalTimeoutMs))
        return usageError("probe", "--timeout needs a number of seconds", kUsage);
    feeds::ChannelProbe probe = feeds::probeChannel(parsed.positional[0], options);
    if (!probe.errorText.empty()) {
        std::fprintf(stderr, "%s\n", probe.errorText.c_str());
        return 1;
    }
    std::printf("标题: %s\n频道地址: %s\n", probe.title.c_str(), probe.feedUrl.c_str());
    return 0;
}

} // namespace kelvor::cli
