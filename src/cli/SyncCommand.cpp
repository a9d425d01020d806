// kelvor-tool sync: one sync with the Tiny Tiny RSS server of the account
// the window set up (or the one given), told step by step.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "platform/HomeFolder.h"
#include "sync/SyncRun.h"
#include "sync/SyncSettings.h"

#include <cstdio>
#include <cstdlib>

namespace kelvor::cli {
namespace {

const char* const kUsage =
    "usage: kelvor-tool sync [--home DIR] [--server URL --user NAME]\n"
    "\n"
    "Syncs the reader with a Tiny Tiny RSS server: the server's subscriptions\n"
    "become the category fav/sync-SERVER.xml under 我的收藏, their new entries\n"
    "the channels' copies, read and star marks go both ways, and channels added\n"
    "to or deleted from that category are subscribed or unsubscribed there.\n"
    "Prints one line per step. The account comes from --server and --user, else\n"
    "from HOME/sync.json (written by the window); the password from the\n"
    "environment variable KELVOR_SYNC_PASSWORD.\n"
    "\n"
    "  --home DIR     the home folder (default: $KELVOR_HOME, else ~/.local/share/Kelvor)\n"
    "  --server URL   the server's address, e.g. https://example.org/tt-rss/\n"
    "  --user NAME    the user name on that server\n";

int fail(const std::string& why) {
    std::fprintf(stderr, "kelvor-tool sync: %s\n", why.c_str());
    return 1;
}

} // namespace

int runSync(const std::vector<std::string>& args) {
    Arguments parsed = parseArguments(args, {"home", "server", "user"}, {});
    if (parsed.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!parsed.error.empty() || !parsed.positional.empty())
        return usageError("sync", parsed.error.empty() ? "expected no operand" : parsed.error,
                          kUsage);
    std::string home = homeOption(parsed);
    platform::setProgramFolder(home);
    sync::SyncSettings saved = sync::readSyncSettings(home);
    sync::Account account{parsed.value("server", saved.server), parsed.value("user", saved.user),
                          ""};
    if (account.server.empty() || account.user.empty())
        return fail("未设置同步账户：请用 --server 和 --user 给出，或先在阅读器中设置同步");
    const char* password = std::getenv("KELVOR_SYNC_PASSWORD");
    if (!password || !*password)
        return fail("未给出同步密码：请设置环境变量 KELVOR_SYNC_PASSWORD");
    account.password = password;

    sync::SyncReport report = sync::runSync(home, account);
    if (!report.error.empty())
        return fail(report.error + "（本地内容未改动，未发送的标记下次同步时发送）");
    for (const std::string& line : report.lines())
        std::printf("%s\n", line.c_str());
    return 0;
}

} // namespace kelvor::cli
