// kelvor-tool export-opml and import-opml: a collection's channels out to
// other readers and their lists in.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "feeds/OpmlExport.h"
#include "feeds/OpmlImport.h"
#include "platform/HomeFolder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace kelvor::cli {
namespace {

const char* const kExportUsage =
    "usage: kelvor-tool export-opml [TREEFILE] [--home DIR]\n"
    "\n"
    "Prints every channel reachable from TREEFILE (default: the home folder's\n"
    "index.xml) through your own tree files as an OPML 2.0 list; folders and\n"
    "sub-trees become nested outlines. Downloaded copies (rss/, url/) are not\n"
    "followed.\n"
    "\n"
    "Channels whose feed is a local file are left out, and counted on stderr.\n"
    "\n"
    "  --home DIR   the home folder (default: the one TREEFILE lies in, else\n"
    "               $KELVOR_HOME, else ~/.local/share/Kelvor)\n";

const char* const kImportUsage =
    "usage: kelvor-tool import-opml FILE --into fav/NAME.xml [--home DIR]\n"
    "\n"
    "Adds the outlines of an OPML list to the category file fav/NAME.xml of the\n"
    "home folder (created when missing, and listed under 我的收藏). Nested\n"
    "outlines become folders; channels the file already has are skipped. What\n"
    "cannot be read is reported on stderr.\n"
    "\n"
    "  --home DIR   the home folder (default: $KELVOR_HOME, else ~/.local/share/Kelvor)\n";

// The home folder a tree file lies in: the folder holding index.xml that
// holds the file itself or its fav/; "" for a file elsewhere.
std::string homeOfTreeFile(const std::string& treeFile) {
    std::error_code ec;
    fs::path folder = fs::absolute(treeFile, ec).lexically_normal().parent_path();
    if (fs::is_regular_file(folder / "index.xml", ec))
        return folder.string();
    if (folder.filename() == "fav" && fs::is_regular_file(folder.parent_path() / "index.xml", ec))
        return folder.parent_path().string();
    return {};
}

} // namespace

std::string homeOption(const Arguments& parsed) {
    std::string home = parsed.value("home");
    if (home.empty()) {
        const char* environment = std::getenv("KELVOR_HOME");
        home = environment && *environment ? environment : platform::defaultUserDataFolder();
    }
    std::error_code ec;
    return fs::absolute(home, ec).lexically_normal().string();
}

int printImportReport(const char* command, const feeds::ImportReport& report) {
    if (!report.error.empty()) {
        std::fprintf(stderr, "kelvor-tool %s: %s\n", command, report.error.c_str());
        return 1;
    }
    std::printf("%s\n", report.summary().c_str());
    return 0;
}

int runExportOpml(const std::vector<std::string>& args) {
    Arguments parsed = parseArguments(args, {"home"}, {});
    if (parsed.help) {
        std::fputs(kExportUsage, stdout);
        return 0;
    }
    if (!parsed.error.empty() || parsed.positional.size() > 1)
        return usageError("export-opml",
                          parsed.error.empty() ? "expected at most one TREEFILE" : parsed.error,
                          kExportUsage);
    std::string implied = parsed.positional.empty() || !parsed.value("home").empty()
                              ? std::string()
                              : homeOfTreeFile(parsed.positional[0]);
    std::string home = implied.empty() ? homeOption(parsed) : implied;
    std::string treeFile = parsed.positional.empty() ? home + "/index.xml" : parsed.positional[0];
    try {
        int localFeeds = 0;
        std::string text = feeds::exportOpml(treeFile, home, &localFeeds).xml();
        if (localFeeds > 0)
            std::fprintf(stderr, "已略去 %d 个本机文件频道\n", localFeeds);
        return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
    } catch (const xml::DomError& error) {
        std::fprintf(stderr, "kelvor-tool export-opml: %s: %s\n", treeFile.c_str(), error.what());
        return 1;
    }
}

int runImportOpml(const std::vector<std::string>& args) {
    Arguments parsed;
    if (auto exitCode = parseCommandArguments(args, {"home", "into"}, {}, "import-opml", "FILE",
                                              kImportUsage, parsed))
        return *exitCode;
    if (parsed.value("into").empty())
        return usageError("import-opml", "--into fav/NAME.xml is needed", kImportUsage);
    return printImportReport(
        "import-opml",
        feeds::importOpmlFile(parsed.positional[0], homeOption(parsed), parsed.value("into")));
}

} // namespace kelvor::cli
