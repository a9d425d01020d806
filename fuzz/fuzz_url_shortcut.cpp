// .url shortcut files of a Favorites folder: INI text written by other
// programs, in any encoding. The address read from one becomes a link's
// Href in the imported tree, so it must be bounded, hold no line break, read
// the same from a file as from text, and survive a save of the tree.
#include "FuzzSupport.h"
#include "feeds/UrlShortcut.h"
#include "platform/XmlChars.h"
#include "platform/XmlDom.h"

#include <fstream>
#include <string>

using namespace kelvor;

namespace {

constexpr size_t kLargestFileReadWhole = 64 * 1024;

std::string writeShortcut(const std::string& bytes) {
    std::string path = kelvor::fuzz::scratchFolder() + "/link.url";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return path;
}

void checkSurvivesASave(const std::string& url) {
    xml::Document doc = xml::Document::create();
    if (!doc.loadXML("<Tree Type=\"$FAVORITES\"><TreeNode Title=\"link\"/></Tree>"))
        kelvor::fuzz::fail("the skeleton tree does not parse");
    xml::Node link = doc.documentElement().firstChild();
    link.setAttribute("Href", url);
    xml::Document again = xml::Document::create();
    if (!again.loadXML(doc.xml()))
        kelvor::fuzz::fail("a tree holding the address does not read back", {url});
    if (again.documentElement().firstChild().attributeOr("Href") != xml::toXmlText(url))
        kelvor::fuzz::fail("the address changed on the way through the tree file", {url});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string url = feeds::shortcutUrlFromText(text);
    if (url.size() > feeds::kMaxShortcutUrl)
        kelvor::fuzz::fail("the address is longer than a shortcut may give");
    if (url.find('\n') != std::string::npos)
        kelvor::fuzz::fail("the address runs over a line end", {url});
    if (size <= kLargestFileReadWhole && feeds::readShortcutUrl(writeShortcut(text)) != url)
        kelvor::fuzz::fail("the file and its text give different addresses", {url});
    checkSurvivesASave(url);
    return 0;
}
