#include "platform/HtmlWalk.h"

#include "platform/Log.h"

#include <libxml/HTMLparser.h>
#include <libxml/parserInternals.h>

#include <climits>
#include <exception>

namespace kelvor::platform {
namespace {

constexpr int kOptions = HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                         HTML_PARSE_RECOVER | HTML_PARSE_NOIMPLIED;

std::string textOf(const xmlChar* text) {
    return text ? reinterpret_cast<const char*>(text) : "";
}

// The parser hands over the context as the callbacks' user data; the walk
// rides along in it.
struct Walk {
    HtmlVisitor& visitor;
    bool sawAnything = false;
    std::exception_ptr failure; // what a visitor threw; rethrown once the parser is freed
};

// Runs a visitor call; an exception must not unwind through the C parser,
// so it stops the parse and waits.
template <typename Call> void visit(void* context, Call call) {
    auto ctxt = static_cast<htmlParserCtxtPtr>(context);
    Walk& walk = *static_cast<Walk*>(ctxt->_private);
    if (walk.failure)
        return;
    try {
        call(walk);
    } catch (...) {
        platform::logCurrentFailure("HTML walk");
        walk.failure = std::current_exception();
        xmlStopParser(ctxt);
    }
}

void startElement(void* context, const xmlChar* name, const xmlChar** pairs) {
    visit(context, [&](Walk& walk) {
        HtmlAttributes attributes;
        for (const xmlChar** pair = pairs; pair && pair[0]; pair += 2)
            attributes.emplace_back(textOf(pair[0]), textOf(pair[1]));
        walk.sawAnything = true;
        walk.visitor.enter(textOf(name), attributes);
    });
}

void endElement(void* context, const xmlChar* name) {
    visit(context, [&](Walk& walk) { walk.visitor.leave(textOf(name)); });
}

void characters(void* context, const xmlChar* text, int length) {
    visit(context, [&](Walk& walk) {
        walk.sawAnything = true;
        walk.visitor.text(std::string(reinterpret_cast<const char*>(text), length));
    });
}

bool namesCharset(const std::string& bytes) {
    return bytes.find("charset=") != std::string::npos ||
           bytes.find("CHARSET=") != std::string::npos;
}

// As htmlReadMemory does with an encoding given: the bytes are read as
// UTF-8 and a meta element later on does not change that.
void readAsUtf8(htmlParserCtxtPtr ctxt) {
    xmlCharEncodingHandlerPtr utf8 = xmlFindCharEncodingHandler("UTF-8");
    if (!utf8)
        return;
    xmlSwitchToEncoding(ctxt, utf8);
    if (ctxt->input->encoding)
        xmlFree(const_cast<xmlChar*>(ctxt->input->encoding));
    ctxt->input->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("UTF-8"));
}

} // namespace

// Streamed from the parser rather than walked over a built tree: the tree
// builder gives up at 256 levels and drops the rest of the file, and a
// hostile file nested a million deep would make a tree of a million nodes.
// The parser's own stack of open elements is all that grows here.
bool walkHtml(const std::string& bytes, HtmlVisitor& visitor) {
    if (bytes.empty() || bytes.size() > INT_MAX)
        return false;
    htmlParserCtxtPtr ctxt =
        htmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size()));
    if (!ctxt)
        return false;
    Walk walk{visitor, false, nullptr};
    xmlSAXHandler handler{};
    handler.startElement = startElement;
    handler.endElement = endElement;
    handler.characters = characters;
    handler.cdataBlock = characters;
    *ctxt->sax = handler;
    ctxt->_private = &walk;
    if (!namesCharset(bytes))
        readAsUtf8(ctxt);
    htmlCtxtUseOptions(ctxt, kOptions);
    htmlParseDocument(ctxt);
    if (ctxt->myDoc)
        xmlFreeDoc(ctxt->myDoc);
    htmlFreeParserCtxt(ctxt);
    if (walk.failure)
        std::rethrow_exception(walk.failure);
    return walk.sawAnything;
}

std::string attributeOf(const HtmlAttributes& attributes, const char* name) {
    for (const auto& [key, value] : attributes)
        if (key == name)
            return value;
    return {};
}

} // namespace kelvor::platform
