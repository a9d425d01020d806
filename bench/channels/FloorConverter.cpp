#include "FloorConverter.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace kelvor::bench {
namespace {

const xmlChar* X(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

void addItem(xmlNodePtr root, xmlNodePtr item) {
    xmlNodePtr node = xmlNewChild(root, nullptr, X("TreeNode"), nullptr);
    for (xmlNodePtr child = item->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        const char* name = reinterpret_cast<const char*>(child->name);
        xmlChar* text = xmlNodeGetContent(child);
        if (std::strcmp(name, "title") == 0)
            xmlSetProp(node, X("Title"), text);
        else if (std::strcmp(name, "link") == 0)
            xmlSetProp(node, X("Href"), text);
        else if (std::strcmp(name, "pubDate") == 0)
            xmlSetProp(node, X("Date"), text);
        else if (std::strcmp(name, "description") == 0)
            xmlNewTextChild(node, nullptr, X("Desc"), text);
        xmlFree(text);
    }
}

void addItems(xmlNodePtr root, xmlNodePtr node) {
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (std::strcmp(reinterpret_cast<const char*>(node->name), "item") == 0)
            addItem(root, node);
        else
            addItems(root, node->children);
    }
}

void convertOne(const std::string& input, const std::string& output) {
    xmlDocPtr source = readWithLibxml(input);
    if (!source)
        return;
    xmlDocPtr result = xmlNewDoc(X("1.0"));
    xmlNodePtr root = xmlNewDocNode(result, nullptr, X("Tree"), nullptr);
    xmlDocSetRootElement(result, root);
    xmlSetProp(root, X("Type"), X("rss"));
    addItems(root, xmlDocGetRootElement(source));
    xmlSaveFormatFileEnc(output.c_str(), result, "utf-8", 1);
    xmlFreeDoc(result);
    xmlFreeDoc(source);
}

} // namespace

xmlDocPtr readWithLibxml(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return nullptr;
    xmlDocPtr doc = xmlReadFd(fd, path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOBLANKS);
    ::close(fd);
    return doc;
}

void convertFilesWithLibxml(const std::vector<std::string>& inputs, const std::string& outputFolder,
                            int threads) {
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (size_t i = next++; i < inputs.size(); i = next++)
                convertOne(inputs[i], outputFolder + "/out" + std::to_string(i) + ".xml");
        });
    }
    for (auto& worker : workers)
        worker.join();
}

} // namespace kelvor::bench
