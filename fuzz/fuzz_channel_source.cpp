// Channel source resolution over arbitrary attribute values, as a remote
// tree file or a hand-edited category file could hold them. The input is
// split into lines: the owning file's address, its root BaseURL and Type,
// the node's NodeSrc, Rss, Title and Expires, and (the rest) the bytes of a
// cache file put where the resolver says the copy goes.
//
// Whatever a feed calls its channels, the cache file chosen under the rss/
// or url/ folder must lie directly inside that folder.
#include "FuzzSupport.h"
#include "platform/AddressPolicy.h"
#include "platform/HomeFolder.h"
#include "platform/XmlChars.h"
#include "platform/XmlDom.h"
#include "tree/ChannelSource.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace kelvor;
namespace fs = std::filesystem;

namespace {

enum Field {
    kDocAddress,
    kBaseUrl,
    kType,
    kNodeSrc,
    kRss,
    kTitle,
    kExpires,
    kCacheBytes,
    kFieldCount
};

constexpr std::time_t kNow = 1700000000;

const std::string& homeFolder() {
    static const std::string home = [] {
        std::string folder = kelvor::fuzz::scratchFolder() + "/home";
        fs::create_directories(folder + "/rss");
        fs::create_directories(folder + "/url");
        fs::create_directories(folder + "/fav");
        platform::setProgramFolder(folder);
        return platform::programFolder();
    }();
    return home;
}

// Tree files are opened from the web or from where the program keeps them:
// the home folder, fav/, rss/ or url/. The field names the folder and the
// file ("url/x.xml"); a web address is used as it is.
std::string documentAddress(const std::string& field) {
    if (field.rfind("http://", 0) == 0 || field.rfind("https://", 0) == 0)
        return field;
    std::string folder;
    for (const char* known : {"fav/", "rss/", "url/"}) {
        if (field.rfind(known, 0) == 0)
            folder = known;
    }
    std::string name = field.substr(field.find_last_of('/') + 1);
    if (name.empty() || name == "." || name == "..")
        name = "tree.xml";
    return "file://" + homeFolder() + "/" + folder + name;
}

xml::Node makeChannelNode(xml::Document& doc, const std::vector<std::string>& fields) {
    if (!doc.loadBytes("<Tree><TreeNode/></Tree>", documentAddress(fields[kDocAddress])))
        kelvor::fuzz::fail("the skeleton tree file does not parse");
    xml::Node root = doc.documentElement();
    xml::Node node = root.firstChild();
    auto setIfGiven = [](const xml::Node& element, const char* name, const std::string& value) {
        if (!value.empty())
            element.setAttribute(name, value);
    };
    setIfGiven(root, "BaseURL", fields[kBaseUrl]);
    setIfGiven(root, "Type", fields[kType]);
    setIfGiven(node, "NodeSrc", fields[kNodeSrc]);
    setIfGiven(node, "Rss", fields[kRss]);
    setIfGiven(node, "Title", fields[kTitle]);
    setIfGiven(node, "Expires", fields[kExpires]);
    return node;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The cache folder (rss/ or url/) the path claims to be in, or "".
std::string cacheFolderOf(const std::string& path) {
    for (const char* folder : {"/rss/", "/url/"}) {
        if (startsWith(path, homeFolder() + folder))
            return homeFolder() + folder;
    }
    return {};
}

bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// Directly inside rss/ or url/: the only place a downloaded copy may go
// unless the user named the file.
bool isConfined(const std::string& path) {
    std::string folder = cacheFolderOf(path);
    return !folder.empty() && isPlainFileName(path.substr(folder.size()));
}

bool isWebAddress(const std::string& value) {
    return startsWith(value, "http://") || startsWith(value, "https://");
}

// What the resolver judges a tree file by: its BaseURL, else its own address.
bool fromTheWeb(const std::vector<std::string>& fields) {
    const std::string& from =
        fields[kBaseUrl].empty() ? documentAddress(fields[kDocAddress]) : fields[kBaseUrl];
    return platform::originOf(from) == platform::AddressOrigin::Web;
}

void check(int result, const std::string& source, const std::string& cacheFile,
           const std::string& feed, const std::vector<std::string>& fields) {
    std::vector<std::string> details = {"result " + std::to_string(result), "source: " + source,
                                        "cacheFile: " + cacheFile, "feed: " + feed};
    if (result < tree::kNotChannel || result > tree::kMustDownload)
        kelvor::fuzz::fail("result out of range", details);
    bool named = !fields[kNodeSrc].empty() || !fields[kRss].empty();
    // A tree file from the web may name no local file nor script feed: such
    // a node is no channel at all, and nothing of it is handed on.
    bool refused = named && result == tree::kNotChannel;
    if (refused && !fromTheWeb(fields))
        kelvor::fuzz::fail("a channel of a local tree file was refused", details);
    if (refused && !(source.empty() && feed.empty()))
        kelvor::fuzz::fail("a refused channel still names a source or feed", details);
    if (!refused && feed != fields[kRss])
        kelvor::fuzz::fail("feed is not the node's Rss value", details);
    if (!named && result != tree::kNotChannel)
        kelvor::fuzz::fail("not-a-channel answer does not match the attributes", details);
    if (fromTheWeb(fields) && result == tree::kLocalFile)
        kelvor::fuzz::fail("a tree file from the web names a local file", details);
    if (result < tree::kCacheFresh)
        return;
    // A name made from the channel's title lies directly inside its folder.
    // (A feed with a local NodeSrc is converted into that file instead; the
    // user chose that path, so it is checked below only for remote files.)
    bool namedAfterTitle = cacheFile != source;
    if (namedAfterTitle && !cacheFolderOf(cacheFile).empty() && !isConfined(cacheFile))
        kelvor::fuzz::fail("cache file escapes its folder", details);
    // A tree file that came from the web is untrusted: none of its feed
    // channels may choose where the converted feed is written.
    bool remoteFile = isWebAddress(fields[kBaseUrl]) || isWebAddress(fields[kDocAddress]) ||
                      startsWith(fields[kDocAddress], "url/");
    if (!feed.empty() && remoteFile && !isConfined(cacheFile))
        kelvor::fuzz::fail("a remote tree file places a feed's cache outside rss/ and url/",
                           details);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> fields = kelvor::fuzz::splitFields(data, size, kFieldCount);
    // Attribute values as a stored file can hold them: up to a NUL, and in
    // characters XML allows (the DOM cleans what it is given the same way).
    for (int field = kDocAddress; field < kCacheBytes; ++field)
        fields[field] = xml::toXmlText(fields[field].c_str());
    xml::Document doc = xml::Document::create();
    xml::Node node = makeChannelNode(doc, fields);

    std::string source, cacheFile, feed;
    int result = tree::ResolveChannelSource(node, source, cacheFile, feed, kNow);
    check(result, source, cacheFile, feed, fields);

    // Put the cache bytes where the copy goes and ask again: the header reader
    // meets arbitrary content, and a foreign copy moves the answer on to a
    // numbered name.
    if (result < tree::kCacheFresh || fields[kCacheBytes].empty() || !isConfined(cacheFile))
        return 0;
    writeFile(cacheFile, fields[kCacheBytes]);
    std::string again;
    result = tree::ResolveChannelSource(node, source, again, feed, kNow);
    check(result, source, again, feed, fields);
    int expires = 0;
    tree::ReadCacheHeader(cacheFile, expires);
    tree::ReadCacheFirstItem(cacheFile);
    std::remove(cacheFile.c_str());
    return 0;
}
