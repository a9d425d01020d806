// What other programs wrote, brought into a category: an OPML list (read
// leniently), a browser's bookmarks file, and the description text the
// search index makes of a feed's HTML. The first byte picks which; the
// result must always be a category that saves and reads back whole.
#include "FuzzSupport.h"
#include "feeds/BookmarksImport.h"
#include "feeds/CategoryImport.h"
#include "feeds/OpmlImport.h"
#include "platform/HtmlText.h"
#include "platform/XmlDom.h"

#include <cstdint>
#include <string>

using namespace kelvor;

namespace {

xml::Document newCategory() {
    xml::Document doc = xml::Document::create();
    if (!doc.loadXML("<Tree Type=\"fav\" Title=\"导入\"/>"))
        kelvor::fuzz::fail("the empty category does not parse");
    return doc;
}

void checkReadsBack(const xml::Document& doc, const feeds::ImportReport& report) {
    size_t nodes = doc.getElementsByTagName("TreeNode").size();
    if (nodes > static_cast<size_t>(feeds::kMaxImportItems) + static_cast<size_t>(report.folders))
        kelvor::fuzz::fail("more items than an import may make", {std::to_string(nodes)});
    xml::Document again = xml::Document::create();
    if (!again.loadXML(doc.xml()))
        kelvor::fuzz::fail("the imported category does not read back",
                           {xml::formatParseError(again.parseError()), doc.xml().substr(0, 2000)});
    if (again.getElementsByTagName("TreeNode").size() != nodes)
        kelvor::fuzz::fail("the imported category reads back with other items");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    feeds::ImportReport report;
    xml::Document category = newCategory();
    switch (data[0] % 3) {
    case 0: {
        xml::Document opml = feeds::parseOpml(text, report);
        if (opml.isNull())
            return 0;
        feeds::appendOpmlOutlines(opml, category, category.documentElement(), {}, report,
                                  platform::AddressOrigin::Web);
        break;
    }
    case 1:
        feeds::appendBookmarks(text, category, category.documentElement(), report);
        break;
    default: {
        std::string words = platform::htmlToText(text, platform::HtmlTextFor::Index);
        if (words.size() > text.size() * 4 + 16)
            kelvor::fuzz::fail("the text of some HTML is far longer than the HTML");
        return 0;
    }
    }
    checkReadsBack(category, report);
    return 0;
}
