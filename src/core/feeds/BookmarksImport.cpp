#include "feeds/BookmarksImport.h"

#include "platform/AddressPolicy.h"
#include "platform/HtmlWalk.h"
#include "platform/Text.h"
#include "platform/XmlChars.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace kelvor::feeds {
namespace {

std::string htmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// ADD_DATE is seconds since 1970; the tree shows dates as feeds write them.
std::string rfc822(const std::string& seconds) {
    char* end = nullptr;
    long long value = std::strtoll(seconds.c_str(), &end, 10);
    if (seconds.empty() || *end != '\0' || value <= 0 || value > 253402300799LL)
        return {};
    std::time_t time = static_cast<std::time_t>(value);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

// Text from the file as a note shows it: bounded (on a character boundary),
// and with no control character left to reach the terminal the report is
// printed on.
std::string printable(const std::string& text) {
    size_t end = std::min<size_t>(text.size(), 80);
    while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    std::string shown = text.substr(0, end);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return shown;
}

class BookmarksBuilder : public platform::HtmlVisitor {
  public:
    BookmarksBuilder(xml::Document& doc, const xml::Node& parent, ImportReport& report)
        : doc_(doc), report_(report), folders_{parent} {}

    void enter(const std::string& name, const platform::HtmlAttributes& attributes) override {
        if (capture_ == Capture::Description && (name == "dt" || name == "dl" || name == "dd"))
            endCapture();
        if (name == "h3")
            startFolder(attributes);
        else if (name == "a")
            startLink(attributes);
        else if (name == "dl")
            openList();
        else if (name == "dd" && last_)
            startCapture(Capture::Description, last_);
    }

    void leave(const std::string& name) override {
        if ((name == "a" || name == "h3" || name == "dd") && capture_ != Capture::None)
            endCapture();
        if (name == "dl" && lists_.size() > 0) {
            if (lists_.back())
                folders_.pop_back();
            lists_.pop_back();
            // A heading whose list did not begin inside the list around it
            // has none: a later list continuing its folder would nest it
            // deeper than the open folders count.
            pending_ = {};
        }
    }

    void text(const std::string& text) override {
        if (capture_ != Capture::None && captured_.size() < 64 * 1024)
            captured_ += text;
    }

    bool foundAny() const { return found_; }

    // Folders are known empty only once the whole file is read: a later
    // list may still continue one.
    void finish() {
        for (const xml::Node& folder : made_)
            keepEmptyFolder(folder);
    }

  private:
    enum class Capture { None, Title, Description };

    bool full() {
        if (report_.added + report_.folders < kMaxImportItems)
            return false;
        if (!truncated_)
            report_.note("条目太多, 只导入了前 " + std::to_string(kMaxImportItems) + " 个");
        truncated_ = true;
        return true;
    }

    xml::Node newItem(const platform::HtmlAttributes& attributes) {
        xml::Node node = doc_.createElement("TreeNode");
        std::string date = rfc822(platform::attributeOf(attributes, "add_date"));
        node.setAttribute("Title", "");
        if (!date.empty())
            node.setAttribute("Date", date);
        found_ = true;
        return node;
    }

    void startFolder(const platform::HtmlAttributes& attributes) {
        pending_ = {};
        last_ = {};
        if (tooDeep() || full())
            return;
        xml::Node folder = newItem(attributes);
        folders_.back().appendChild(folder);
        ++report_.folders;
        made_.push_back(folder);
        pending_ = folder;
        last_ = folder;
        startCapture(Capture::Title, folder);
    }

    void startLink(const platform::HtmlAttributes& attributes) {
        std::string href = platform::attributeOf(attributes, "href");
        last_ = {};
        if (href.empty() || full())
            return;
        // The file is one the user chose, but what it links to was picked up
        // on the web: a stranger's javascript: or file: link stays out. Judged
        // as stored: the document drops control characters, and "java\1script:"
        // would come out of it as "javascript:".
        std::string accepted =
            platform::acceptedAddress(xml::toXmlText(href), platform::AddressOrigin::Web);
        if (accepted.empty()) {
            report_.note("跳过脚本、本地文件或浏览器内部地址: " +
                         printable(platform::browserForm(href)));
            return;
        }
        xml::Node link = newItem(attributes);
        link.setAttribute("Href", accepted);
        folders_.back().appendChild(link);
        ++report_.added;
        last_ = link;
        startCapture(Capture::Title, link);
    }

    // A folder below the deepest allowed is not made: its heading is dropped
    // and its list, opening no folder, leaves its links and subfolders' links
    // in the deepest folder kept.
    bool tooDeep() {
        if (folders_.size() <= static_cast<size_t>(kMaxImportDepth))
            return false;
        if (!flattened_)
            report_.note("文件夹嵌套超过 " + std::to_string(kMaxImportDepth) +
                         " 层, 更深的链接并入第 " + std::to_string(kMaxImportDepth) +
                         " 层的文件夹: " + printable(folders_.back().attributeOr("Title")));
        flattened_ = true;
        return true;
    }

    // A list right after a folder's heading holds that folder's content; any
    // other list continues the folder it is in.
    void openList() {
        if (pending_)
            folders_.push_back(pending_);
        lists_.push_back(static_cast<bool>(pending_));
        pending_ = {};
    }

    void startCapture(Capture kind, const xml::Node& target) {
        capture_ = kind;
        target_ = target;
        captured_.clear();
    }

    void endCapture() {
        std::string text = platform::trimmed(captured_);
        if (capture_ == Capture::Title)
            target_.setAttribute("Title", text.empty() ? target_.attributeOr("Href") : text);
        else if (!text.empty())
            addDescription(text);
        capture_ = Capture::None;
        target_ = {};
    }

    void addDescription(const std::string& text) {
        xml::Node desc = doc_.createElement("Desc");
        desc.setText(htmlEscaped(text));
        target_.insertBefore(desc, target_.firstChild());
        last_ = {};
    }

    xml::Document& doc_;
    ImportReport& report_;
    std::vector<xml::Node> folders_; // where new items go: the innermost open folder last
    std::vector<bool> lists_;        // per open list: whether it opened a folder
    std::vector<xml::Node> made_;    // every folder made, in the file's order
    xml::Node pending_;              // a folder whose list has not begun yet
    xml::Node last_;                 // the item a description would belong to
    Capture capture_ = Capture::None;
    xml::Node target_;
    std::string captured_;
    bool truncated_ = false;
    bool flattened_ = false;
    bool found_ = false;
};

std::string headingOf(const std::string& html) {
    struct : platform::HtmlVisitor {
        bool inHeading = false;
        std::string heading;
        void enter(const std::string& name, const platform::HtmlAttributes&) override {
            inHeading = name == "h1" && heading.empty();
        }
        void leave(const std::string&) override { inHeading = false; }
        void text(const std::string& text) override {
            if (inHeading)
                heading += text;
        }
    } visitor;
    platform::walkHtml(html.substr(0, 4096), visitor);
    return platform::trimmed(visitor.heading);
}

} // namespace

bool appendBookmarks(const std::string& html, xml::Document& doc, const xml::Node& parent,
                     ImportReport& report) {
    BookmarksBuilder builder(doc, parent, report);
    if (!platform::walkHtml(html, builder) || !builder.foundAny())
        return false;
    builder.finish();
    return true;
}

ImportReport importBookmarksFile(const std::string& file, const std::string& home,
                                 const std::string& into, Listing listing) {
    ImportReport report;
    std::string path, html;
    if (!startImport(file, home, into, path, html, report))
        return report;
    std::string title = headingOf(html).empty() ? "导入的书签" : headingOf(html);
    xml::Document category = openCategory(path, title, report.error);
    if (category.isNull())
        return report;
    if (!appendBookmarks(html, category, category.documentElement(), report)) {
        report.error = "这不是浏览器导出的书签文件 (HTML), 其中没有链接: " + file;
        return report;
    }
    saveCategory(category, home, path, category.documentElement().attributeOr("Title", title),
                 listing, report);
    return report;
}

} // namespace kelvor::feeds
