// kelvor-tool dump: a tree file's items as an indented outline.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "platform/XmlDom.h"
#include "tree/TreeFormat.h"

#include <cstdio>
#include <vector>

namespace kelvor::cli {
namespace {

const char* const kUsage =
    "usage: kelvor-tool dump TREEFILE\n"
    "\n"
    "Prints the items of a tree file (inline children included, other files\n"
    "not followed) as an outline: two spaces per level, then the item's kind,\n"
    "its label and its address (Rss, else NodeSrc, else Href).\n";

const char* kindName(tree::ItemKind kind) {
    switch (kind) {
    case tree::ItemKind::Channel:
        return "channel";
    case tree::ItemKind::SubTree:
        return "subtree";
    case tree::ItemKind::Folder:
        return "folder";
    case tree::ItemKind::Link:
        return "link";
    case tree::ItemKind::Text:
        return "text";
    }
    return "item";
}

std::string addressOf(const xml::Node& node) {
    for (const char* name : {"Rss", "NodeSrc", "Href"}) {
        std::string value = tree::GetNodeAttribute(node, name);
        if (!value.empty())
            return value;
    }
    return {};
}

// Iterative, so a deeply nested file cannot exhaust the stack.
void printOutline(const xml::Node& first) {
    std::vector<xml::Node> next{first};
    while (!next.empty()) {
        xml::Node node = next.back();
        if (!node) {
            next.pop_back();
            continue;
        }
        next.back() = node.nextSibling();
        if (!node.nameIs("TreeNode"))
            continue;
        std::string indent(2 * (next.size() - 1), ' ');
        std::string address = addressOf(node);
        std::printf("%s%s  %s%s%s\n", indent.c_str(), kindName(tree::itemKindOf(node)),
                    tree::GetNodeAttribute(node, "Title").c_str(), address.empty() ? "" : "  ",
                    address.c_str());
        next.push_back(node.firstChild());
    }
}

} // namespace

int runDump(const std::vector<std::string>& args) {
    Arguments parsed;
    if (auto exitCode = parseCommandArguments(args, {}, {}, "dump", "TREEFILE", kUsage, parsed))
        return *exitCode;
    xml::Document doc = xml::Document::create();
    if (!doc.load(parsed.positional[0])) {
        std::fprintf(stderr, "%s%s\n", xml::formatParseError(doc.parseError()).c_str(),
                     parsed.positional[0].c_str());
        return 1;
    }
    xml::Node root = doc.documentElement();
    if (root && root.firstChild())
        printOutline(root.firstChild());
    return 0;
}

} // namespace kelvor::cli
