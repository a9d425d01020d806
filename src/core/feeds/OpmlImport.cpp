#include "feeds/OpmlImport.h"

#include "platform/AddressPolicy.h"

#include <cctype>
#include <set>

namespace kelvor::feeds {
namespace {

struct Import {
    xml::Document& doc;
    const std::set<std::string>& known; // the category's channels before the import
    ImportReport& report;
    platform::AddressOrigin origin;
    bool truncated = false;
};

// True when text[at] starts an entity or character reference ("&amp;",
// "&#38;", "&#x26;").
bool startsReference(const std::string& text, size_t at) {
    size_t i = at + 1;
    if (i < text.size() && text[i] == '#')
        ++i;
    size_t start = i;
    while (i < text.size() && i - start < 32 && (std::isalnum(static_cast<unsigned char>(text[i]))))
        ++i;
    return i > start && i < text.size() && text[i] == ';';
}

std::string escapeBareAmpersands(const std::string& text, int& repaired) {
    std::string out;
    out.reserve(text.size() + 64);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && !startsReference(text, i)) {
            out += "&amp;";
            ++repaired;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string firstOf(const xml::Node& outline, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (auto value = outline.attribute(name); value && !value->empty())
            return *value;
    return {};
}

// The first of the attributes that holds an address the policy lets in;
// `dropped` tells whether one was there but refused.
std::string addressOf(Import& in, const xml::Node& outline,
                      std::initializer_list<const char*> names, bool& dropped) {
    std::string raw = firstOf(outline, names);
    std::string address = platform::acceptedAddress(raw, in.origin);
    dropped = dropped || (address.empty() && !raw.empty());
    return address;
}

xml::Node newNode(Import& in, const std::string& title) {
    xml::Node node = in.doc.createElement("TreeNode");
    node.setAttribute("Title", title);
    return node;
}

xml::Node newFolder(Import& in, const std::string& title) {
    return newNode(in, title.empty() ? "未命名文件夹" : title);
}

void addDescription(Import& in, const xml::Node& node, const xml::Node& outline) {
    std::string description = firstOf(outline, {"description"});
    if (description.empty())
        return;
    xml::Node desc = in.doc.createElement("Desc");
    desc.setText(description);
    node.appendChild(desc);
}

void addOutlines(Import& in, const xml::Node& from, const xml::Node& parent, int depth);

// A channel the category had before is a duplicate wherever it is; one this
// list names twice only within one folder (other readers keep a channel in
// several folders, and so does a round trip).
void addChannel(Import& in, const xml::Node& outline, const std::string& feed,
                const std::string& page, const xml::Node& parent, std::set<std::string>& inFolder) {
    std::string title = firstOf(outline, {"title", "text"});
    if (title.empty()) {
        title = feed;
        in.report.note("缺少标题的频道以地址作标题: " + feed);
    }
    if (in.known.count(feed) || !inFolder.insert(feed).second) {
        ++in.report.duplicates;
        return;
    }
    xml::Node node = newNode(in, title);
    node.setAttribute("Rss", feed);
    if (!page.empty())
        node.setAttribute("Href", page);
    addDescription(in, node, outline);
    parent.appendChild(node);
    ++in.report.added;
}

void addFolder(Import& in, const xml::Node& outline, const xml::Node& parent, int depth) {
    std::string title = firstOf(outline, {"text", "title"});
    if (depth >= kMaxImportDepth) {
        in.report.note("文件夹嵌套太深, 内容并入上一层: " + title);
        addOutlines(in, outline, parent, depth);
        return;
    }
    xml::Node folder = newFolder(in, title);
    addOutlines(in, outline, folder, depth + 1);
    if (!folder.hasChildNodes())
        return; // only duplicates or nothing usable inside
    parent.appendChild(folder);
    ++in.report.folders;
}

// Readers write a folder the user left empty as an outline with nothing but
// its name: no type, no address of any kind, no outlines inside.
bool isEmptyGroup(const xml::Node& outline) {
    for (const char* name : {"type", "xmlUrl", "xmlurl", "htmlUrl", "url"})
        if (outline.hasAttribute(name))
            return false;
    return true;
}

void addEmptyFolder(Import& in, const xml::Node& outline, const xml::Node& parent) {
    xml::Node folder = newFolder(in, firstOf(outline, {"text", "title"}));
    addDescription(in, folder, outline);
    keepEmptyFolder(folder);
    parent.appendChild(folder);
    ++in.report.folders;
}

void addOutline(Import& in, const xml::Node& outline, const xml::Node& parent, int depth,
                std::set<std::string>& inFolder) {
    if (in.report.added + in.report.folders >= kMaxImportItems) {
        if (!in.truncated)
            in.report.note("条目太多, 只导入了前 " + std::to_string(kMaxImportItems) + " 个");
        in.truncated = true;
        return;
    }
    bool dropped = false;
    std::string feed = addressOf(in, outline, {"xmlUrl", "xmlurl"}, dropped);
    std::string page = addressOf(in, outline, {"htmlUrl", "url"}, dropped);
    if (!feed.empty())
        return addChannel(in, outline, feed, page, parent, inFolder);
    bool hasOutlines = false;
    for (xml::Node child = outline.firstChild(); child && !hasOutlines; child = child.nextSibling())
        hasOutlines = child.nameIs("outline");
    if (hasOutlines)
        return addFolder(in, outline, parent, depth);
    if (isEmptyGroup(outline))
        return addEmptyFolder(in, outline, parent);
    std::string title = firstOf(outline, {"title", "text"});
    if (page.empty() && !dropped) {
        in.report.note("跳过没有订阅地址的条目: " + firstOf(outline, {"text", "title"}));
        return;
    }
    // An outline whose address was refused stays, with its title and
    // description, without the address.
    if (dropped)
        in.report.note("地址不安全, 已去掉: " + title);
    xml::Node link = newNode(in, title.empty() ? (page.empty() ? "未命名" : page) : title);
    if (!page.empty())
        link.setAttribute("Href", page);
    addDescription(in, link, outline);
    parent.appendChild(link);
    ++in.report.added;
}

void addOutlines(Import& in, const xml::Node& from, const xml::Node& parent, int depth) {
    std::set<std::string> inFolder;
    for (xml::Node child = from.firstChild(); child; child = child.nextSibling())
        if (child.nameIs("outline"))
            addOutline(in, child, parent, depth, inFolder);
}

xml::Node childNamed(const xml::Node& parent, const char* name) {
    for (xml::Node child = parent ? parent.firstChild() : xml::Node(); child;
         child = child.nextSibling())
        if (child.nameIs(name))
            return child;
    return {};
}

std::string listTitle(const xml::Document& opml) {
    xml::Node title = childNamed(childNamed(opml.documentElement(), "head"), "title");
    return title ? title.text() : std::string();
}

} // namespace

xml::Document parseOpml(const std::string& bytes, ImportReport& report) {
    xml::Document opml = xml::Document::create();
    if (!opml.loadBytes(bytes, "")) {
        int repaired = 0;
        std::string escaped = escapeBareAmpersands(bytes, repaired);
        if (repaired == 0 || !opml.loadBytes(escaped, "")) {
            report.error = "无法读取 OPML 文件: " + xml::formatParseError(opml.parseError());
            return {};
        }
        report.note("有 " + std::to_string(repaired) + " 个未转义的“&”, 已按字符读入");
    }
    if (!opml.documentElement().nameIs("opml") || !childNamed(opml.documentElement(), "body")) {
        report.error = "这不是一个 OPML 频道列表 (根元素应是 opml, 其中有 body)";
        return {};
    }
    return opml;
}

void appendOpmlOutlines(const xml::Document& opml, xml::Document& doc, const xml::Node& parent,
                        const std::set<std::string>& known, ImportReport& report,
                        platform::AddressOrigin origin) {
    Import in{doc, known, report, origin};
    addOutlines(in, childNamed(opml.documentElement(), "body"), parent, 0);
}

ImportReport importOpmlFile(const std::string& opmlFile, const std::string& home,
                            const std::string& into, Listing listing) {
    ImportReport report;
    std::string path, bytes;
    if (!startImport(opmlFile, home, into, path, bytes, report))
        return report;
    xml::Document opml = parseOpml(bytes, report);
    if (opml.isNull())
        return report;
    std::string title = listTitle(opml).empty() ? "导入的频道" : listTitle(opml);
    xml::Document category = openCategory(path, title, report.error);
    if (category.isNull())
        return report;
    std::set<std::string> known = feedsIn(category);
    // The list is a local file: it may name local feeds (as an export of
    // this reader's own does), never scripts.
    appendOpmlOutlines(opml, category, category.documentElement(), known, report,
                       platform::AddressOrigin::LocalFile);
    std::string categoryTitle = category.documentElement().attributeOr("Title", title);
    saveCategory(category, home, path, categoryTitle, listing, report);
    return report;
}

} // namespace kelvor::feeds
