#include "platform/XmlDom.h"

#include "platform/AtomicFile.h"
#include "platform/HomeFolder.h"
#include "platform/HttpFetch.h"
#include "platform/Log.h"
#include "platform/SourceBytes.h"
#include "platform/Text.h"
#include "platform/XmlChars.h"
#include "platform/XmlDomEntities.h"
#include "platform/XmlDomPacked.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/SAX2.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

#include <unistd.h>

namespace kelvor::xml {

DomError::DomError(uint32_t code, const std::string& what)
    : std::runtime_error(what), code_(code) {}

struct DocImpl {
    xmlDocPtr doc = nullptr;
    std::string url;
    ParseError parseError;
    // Roots of subtrees that belong to the document but hang nowhere (removed
    // or never attached); freed with the document.
    std::unordered_set<xmlNodePtr> detached;
    // The records of packed elements, here or in detached subtrees.
    PackedAttributes packed;

    // Content a reload dropped while node handles could still point into it;
    // freed with the DocImpl, which the last such handle keeps alive.
    struct Retired {
        xmlDocPtr doc;
        std::unordered_set<xmlNodePtr> detached;
        PackedAttributes packed;
    };
    std::vector<Retired> retired;

    ~DocImpl() {
        reset();
        for (Retired& old : retired)
            freeContent(old.doc, old.detached);
    }

    static void freeContent(xmlDocPtr& content, std::unordered_set<xmlNodePtr>& loose) {
        for (xmlNodePtr node : loose)
            xmlFreeNode(node);
        loose.clear();
        if (content)
            xmlFreeDoc(content);
        content = nullptr;
    }

    void reset() {
        freeContent(doc, detached);
        packed.clear();
    }

    // Empties the document for a new load. Only the Document itself holds
    // this DocImpl when handlesMayExist is false; otherwise a Node may point
    // into the old content, which must then outlive the reload.
    void clearForLoad(bool handlesMayExist) {
        if (handlesMayExist && (doc || !detached.empty()))
            retired.push_back({doc, std::move(detached), std::move(packed)});
        else
            reset();
        doc = nullptr;
        detached.clear();
        packed = {};
        url.clear();
        parseError = {};
    }

    void attach(xmlNodePtr node) { detached.erase(node); }

    // Before libxml2 sees the whole document: then no element points into
    // the records any more.
    void unpackAll() {
        if (packed.empty())
            return;
        if (doc)
            unpackTree(reinterpret_cast<xmlNodePtr>(doc));
        for (xmlNodePtr root : detached)
            unpackTree(root);
        packed.clear();
    }
};

namespace {

xmlNodePtr asNode(void* p) {
    return static_cast<xmlNodePtr>(p);
}

// External entities and DTDs are never fetched: a feed must not be able to
// read local files or reach the network through the parser.
xmlParserInputPtr refuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

// No NOENT, no DTDLOAD, no HUGE: entities are not expanded from outside and
// libxml2's amplification limits stay on.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Whitespace-only text between elements is not part of the content, so a
// pretty-printed file behaves like the same file written on one line.
void dropBlankText(xmlNodePtr node) {
    while (node) {
        xmlNodePtr next = node->next;
        if (node->type == XML_TEXT_NODE && isBlankText(node->content)) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        } else if (node->children && node->type == XML_ELEMENT_NODE) {
            dropBlankText(node->children);
        }
        node = next;
    }
}

bool hasByteOrderMark(const std::string& bytes) {
    auto b = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    return (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) ||
           (n >= 2 && ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0xFF && b[1] == 0xFE)));
}

// The encoding named by an XML declaration at the very start, or empty.
std::string declaredEncoding(const std::string& bytes) {
    if (bytes.compare(0, 5, "<?xml") != 0)
        return {};
    auto end = bytes.find("?>");
    if (end == std::string::npos || end > 1024)
        return {};
    return platform::encodingInDeclaration(std::string_view(bytes).substr(0, end));
}

// Real feeds declared GB2312 or GBK often hold characters of the larger set;
// GB18030 reads them all.
std::string decoderFor(const std::string& name) {
    std::string lower = platform::lowerAscii(name);
    if (lower == "gb2312" || lower == "gbk" || lower == "x-gbk" || lower == "gb_2312-80" ||
        lower == "cp936")
        return "GB18030";
    return {};
}

// "utf_8", "utf-8-", "u-t-f-8": spellings of UTF-8 that libxml2 does not
// know itself, so it reads and writes them through iconv, and its iconv
// writer garbles a character that falls across two of its output chunks.
// Such a document is kept as plain UTF-8 and saved under that name.
bool isOtherSpellingOfUtf8(const char* name) {
    std::string letters;
    for (const char* c = name; *c; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c)))
            letters += platform::lowerAscii(*c);
    }
    return letters == "utf8" && xmlParseCharEncoding(name) != XML_CHAR_ENCODING_UTF8;
}

bool isKnownEncoding(const std::string& name) {
    if (name.empty())
        return false;
    xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(name.c_str());
    if (!handler)
        return false;
    xmlCharEncCloseFunc(handler);
    return true;
}

void setParseError(ParseError& error, uint32_t code, const std::string& reason, int line = 0,
                   int column = 0) {
    error.errorCode = code;
    error.reason = reason;
    error.line = line;
    error.linepos = column;
}

// The first error is the one that explains a broken file; libxml2 keeps
// only the last one in the context.
struct FirstError {
    bool seen = false;
    int code = 0;
    int line = 0;
    int column = 0;
    std::string message;
};

// What a parse's handlers share, through the context's _private.
struct ParseState {
    FirstError firstError;
    const xmlChar* textlessElement = nullptr;
};

bool insideTextless(void* userData) {
    auto ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    return ctxt->node && ctxt->node->type == XML_ELEMENT_NODE &&
           xmlStrEqual(ctxt->node->name, state->textlessElement);
}

void charactersUnlessTextless(void* userData, const xmlChar* text, int length) {
    if (!insideTextless(userData))
        xmlSAX2Characters(userData, text, length);
}

void cdataUnlessTextless(void* userData, const xmlChar* text, int length) {
    if (!insideTextless(userData))
        xmlSAX2CDataBlock(userData, text, length);
}

void captureFirstError(void* userData, xmlErrorPtr error) {
    auto ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* state = static_cast<ParseState*>(ctxt ? ctxt->_private : nullptr);
    FirstError* first = state ? &state->firstError : nullptr;
    if (!first || first->seen || !error || error->level < XML_ERR_ERROR)
        return;
    first->seen = true;
    first->code = error->code;
    first->line = error->line;
    first->column = error->int2;
    // Called from inside libxml2: nothing may be thrown back into it. A
    // message that cannot be kept still ends the parse as a failure.
    try {
        first->message = error->message ? error->message : "";
    } catch (...) {
        platform::logCurrentFailure("XML error handler");
        xmlStopParser(ctxt);
    }
}

std::string trimTrailingNewline(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// Frees the document when its entities cannot be kept within the budget.
bool keepEntitiesAsContent(xmlDocPtr doc, size_t inputSize, ParseError& error) {
    int line = 0;
    switch (inlineEntities(doc, entityExpansionBudget(inputSize), line)) {
    case InlineResult::Done:
        return true;
    case InlineResult::OverBudget:
        setParseError(error, kErrEntityExpansion, "实体展开后文档过大", line);
        break;
    case InlineResult::OutOfMemory:
        setParseError(error, kErrOutOfMemory, "out of memory", line);
        break;
    }
    xmlFreeDoc(doc);
    return false;
}

} // namespace

namespace {
void ignoreMessage(void*, const char*, ...) {}
} // namespace

void initialize() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
        net::initialize();
    });
    // The encoding layer prints through libxml2's generic handler even with
    // XML_PARSE_NOERROR ("encoding error : input conversion failed..."), once
    // per broken feed. Failures reach callers as ParseError; the handler is
    // per thread, so every thread that uses the DOM quiets its own.
    thread_local bool quiet = false;
    if (!quiet) {
        xmlSetGenericErrorFunc(nullptr, ignoreMessage);
        quiet = true;
    }
}

// ---- Node -----------------------------------------------------------------

void* Node::require() const {
    if (!node_)
        throw DomError(kErrPointer, "null node");
    return node_;
}

NodeType Node::type() const {
    if (!node_)
        return NodeType::Null;
    switch (asNode(node_)->type) {
    case XML_ELEMENT_NODE:
        return NodeType::Element;
    case XML_ATTRIBUTE_NODE:
        return NodeType::Attribute;
    case XML_TEXT_NODE:
        return NodeType::Text;
    case XML_CDATA_SECTION_NODE:
        return NodeType::CData;
    case XML_COMMENT_NODE:
        return NodeType::Comment;
    case XML_PI_NODE:
        return NodeType::ProcessingInstruction;
    case XML_DOCUMENT_NODE:
        return NodeType::Document;
    default:
        return NodeType::Other;
    }
}

std::string Node::nodeName() const {
    xmlNodePtr node = asNode(require());
    switch (node->type) {
    case XML_TEXT_NODE:
        return "#text";
    case XML_CDATA_SECTION_NODE:
        return "#cdata-section";
    case XML_COMMENT_NODE:
        return "#comment";
    case XML_DOCUMENT_NODE:
        return "#document";
    default:
        break;
    }
    std::string name = node->name ? reinterpret_cast<const char*>(node->name) : "";
    if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && node->ns &&
        node->ns->prefix)
        return reinterpret_cast<const char*>(node->ns->prefix) + (":" + name);
    return name;
}

bool Node::nameIs(const char* name) const {
    xmlNodePtr node = asNode(require());
    if (node->type != XML_ELEMENT_NODE)
        return false;
    if (node->ns && node->ns->prefix)
        return nodeName() == name;
    return node->name && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string Node::localName() const {
    xmlNodePtr node = asNode(require());
    if (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE)
        return nodeName();
    return node->name ? reinterpret_cast<const char*>(node->name) : "";
}

std::string Node::namespaceUri() const {
    xmlNodePtr node = asNode(require());
    if ((node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE) || !node->ns ||
        !node->ns->href)
        return {};
    return reinterpret_cast<const char*>(node->ns->href);
}

bool Node::isElementNs(const char* localName, const char* namespaceUri) const {
    xmlNodePtr node = asNode(require());
    if (node->type != XML_ELEMENT_NODE || !node->name || !node->ns || !node->ns->href)
        return false;
    return std::strcmp(reinterpret_cast<const char*>(node->name), localName) == 0 &&
           std::strcmp(reinterpret_cast<const char*>(node->ns->href), namespaceUri) == 0;
}

std::string Node::xmlBase() const {
    xmlNodePtr node = asNode(require());
    // A packed element has no attribute in a namespace: nothing is missed.
    if (node->type != XML_ELEMENT_NODE || isPacked(node))
        return {};
    xmlChar* base = xmlGetNsProp(node, reinterpret_cast<const xmlChar*>("base"), XML_XML_NAMESPACE);
    if (!base)
        return {};
    std::string result(reinterpret_cast<const char*>(base));
    xmlFree(base);
    return result;
}

std::string Node::innerXml() const {
    xmlNodePtr node = asNode(require());
    if (node->type != XML_ELEMENT_NODE)
        return {};
    std::unique_ptr<xmlBuffer, void (*)(xmlBufferPtr)> buffer(xmlBufferCreate(), xmlBufferFree);
    if (!buffer)
        throw DomError(kErrOutOfMemory, "out of memory");
    for (xmlNodePtr child = node->children; child; child = child->next)
        unpackTree(child);
    for (xmlNodePtr child = node->children; child; child = child->next)
        xmlNodeDump(buffer.get(), node->doc, child, 0, 0);
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                       static_cast<size_t>(xmlBufferLength(buffer.get())));
}

Node Node::firstChild() const {
    xmlNodePtr node = asNode(require());
    if (node->type == XML_ATTRIBUTE_NODE || node->type == XML_ENTITY_REF_NODE)
        return {};
    return node->children ? Node(doc_, node->children) : Node();
}

Node Node::nextSibling() const {
    xmlNodePtr node = asNode(require());
    if (node->type == XML_ATTRIBUTE_NODE)
        return {};
    return node->next ? Node(doc_, node->next) : Node();
}

Node Node::parentNode() const {
    xmlNodePtr node = asNode(require());
    if (node->type == XML_ATTRIBUTE_NODE || !node->parent)
        return {};
    return Node(doc_, node->parent);
}

bool Node::hasChildNodes() const {
    xmlNodePtr node = asNode(require());
    return node->type != XML_ATTRIBUTE_NODE && node->type != XML_ENTITY_REF_NODE &&
           node->children != nullptr;
}

Document Node::ownerDocument() const {
    require();
    return Document(doc_);
}

std::string Node::text() const {
    xmlNodePtr node = asNode(require());
    xmlChar* content = xmlNodeGetContent(node);
    if (!content)
        return {};
    std::string result(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return result;
}

void Node::setText(const std::string& rawValue) const {
    xmlNodePtr node = asNode(require());
    std::string cleaned;
    const std::string& value = isXmlText(rawValue) ? rawValue : (cleaned = toXmlText(rawValue));
    if (node->type == XML_ELEMENT_NODE) {
        // Drop the old content; detached children may still be held by handles.
        while (xmlNodePtr child = node->children) {
            xmlUnlinkNode(child);
            doc_->detached.insert(child);
        }
        xmlNodePtr textNode =
            xmlNewDocTextLen(node->doc, reinterpret_cast<const xmlChar*>(value.data()),
                             static_cast<int>(value.size()));
        if (!textNode)
            throw DomError(kErrOutOfMemory, "out of memory");
        xmlAddChild(node, textNode);
        return;
    }
    xmlNodeSetContentLen(node, nullptr, 0);
    xmlNodeAddContentLen(node, reinterpret_cast<const xmlChar*>(value.data()),
                         static_cast<int>(value.size()));
}

namespace {
xmlAttrPtr findAttribute(xmlNodePtr node, const char* name) {
    if (node->type != XML_ELEMENT_NODE)
        return nullptr;
    for (xmlAttrPtr attr = node->properties; attr; attr = attr->next) {
        if (!attr->ns && std::strcmp(reinterpret_cast<const char*>(attr->name), name) == 0)
            return attr;
    }
    return nullptr;
}
} // namespace

bool Node::hasAttribute(const char* name) const {
    xmlNodePtr node = asNode(require());
    if (isPacked(node))
        return packedValue(node, name) != nullptr;
    return findAttribute(node, name) != nullptr;
}

bool Node::hasAttributes() const {
    xmlNodePtr node = asNode(require());
    return node->type == XML_ELEMENT_NODE && (node->properties != nullptr || isPacked(node));
}

std::optional<std::string> Node::attribute(const char* name) const {
    xmlNodePtr node = asNode(require());
    if (isPacked(node)) {
        const char* value = packedValue(node, name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    xmlAttrPtr attr = findAttribute(node, name);
    if (!attr)
        return std::nullopt;
    // The common case is a single text child: read it without an allocation.
    if (attr->children && !attr->children->next && attr->children->type == XML_TEXT_NODE)
        return std::string(reinterpret_cast<const char*>(attr->children->content));
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attr));
    std::string result = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return result;
}

std::string Node::attributeOr(const char* name, const std::string& fallback) const {
    auto value = attribute(name);
    return value ? *value : fallback;
}

void Node::setAttribute(const char* name, const std::string& rawValue) const {
    xmlNodePtr node = asNode(require());
    if (node->type != XML_ELEMENT_NODE)
        throw DomError(kErrInvalidArg, "attributes belong to elements");
    unpackElement(node);
    std::string cleaned;
    const std::string& value = isXmlText(rawValue) ? rawValue : (cleaned = toXmlText(rawValue));
    // xmlSetNsProp stores the value as text (it does not parse entity
    // references), so any value survives a save and a reload unchanged.
    if (!xmlSetNsProp(node, nullptr, reinterpret_cast<const xmlChar*>(name),
                      reinterpret_cast<const xmlChar*>(value.c_str())))
        throw DomError(kErrOutOfMemory, "cannot set attribute");
}

void Node::removeAttribute(const char* name) const {
    xmlNodePtr node = asNode(require());
    if (isPacked(node) && !packedValue(node, name))
        return;
    unpackElement(node);
    xmlAttrPtr attr = findAttribute(node, name);
    if (attr)
        xmlRemoveProp(attr);
}

namespace {
void checkSameDocument(const Node& parent, const Node& child, xmlNodePtr p, xmlNodePtr c) {
    (void)parent;
    (void)child;
    if (p->doc != c->doc)
        throw DomError(kErrInvalidArg, "node belongs to another document");
    for (xmlNodePtr up = p; up; up = up->parent) {
        if (up == c)
            throw DomError(kErrInvalidArg, "a node cannot contain itself");
    }
}
} // namespace

Node Node::appendChild(const Node& child) const {
    return insertBefore(child, Node());
}

Node Node::insertBefore(const Node& child, const Node& ref) const {
    xmlNodePtr parent = asNode(require());
    xmlNodePtr newChild = asNode(child.require());
    checkSameDocument(*this, child, parent, newChild);
    if (ref && asNode(ref.node_)->parent != parent)
        throw DomError(kErrInvalidArg, "reference node is not a child");
    if (newChild->parent)
        xmlUnlinkNode(newChild);
    doc_->attach(newChild);
    xmlNodePtr added =
        ref ? xmlAddPrevSibling(asNode(ref.node_), newChild) : xmlAddChild(parent, newChild);
    // libxml2 merges adjacent text nodes and frees the added one; keep the
    // handle meaningful by returning the node that now holds the text.
    return Node(doc_, added ? added : newChild);
}

Node Node::removeChild(const Node& child) const {
    xmlNodePtr parent = asNode(require());
    xmlNodePtr old = asNode(child.require());
    if (old->parent != parent)
        throw DomError(kErrInvalidArg, "not a child of this node");
    xmlUnlinkNode(old);
    doc_->detached.insert(old);
    return child;
}

void Node::freeChild(const Node& child) const {
    xmlNodePtr parent = asNode(require());
    xmlNodePtr old = asNode(child.require());
    if (old->parent != parent)
        throw DomError(kErrInvalidArg, "not a child of this node");
    xmlUnlinkNode(old);
    xmlFreeNode(old);
}

// ---- Document -------------------------------------------------------------

DocImpl& Document::impl() const {
    if (!impl_)
        throw DomError(kErrPointer, "null document");
    return *impl_;
}

Document Document::create() {
    initialize();
    return Document(std::make_shared<DocImpl>());
}

bool Document::load(const std::string& address) {
    return load(address, LoadOptions{});
}

bool Document::load(const std::string& address, const LoadOptions& options) {
    DocImpl& d = impl();
    d.clearForLoad(impl_.use_count() > 1);
    platform::SourceBytes source;
    if (!platform::readSource(address, options, source)) {
        d.parseError = source.error;
        return false;
    }
    return loadBytesWith(source.bytes, source.url, source.charset, false, options.textlessElement);
}

bool Document::loadXML(const std::string& text) {
    if (!loadBytes(text, std::string()))
        return false;
    impl().url.clear();
    return true;
}

bool Document::loadBytes(const std::string& bytes, const std::string& url,
                         const std::string& httpCharset) {
    return loadBytesWith(bytes, url, httpCharset, false);
}

bool Document::loadRepairedBytes(const std::string& utf8, const std::string& url) {
    if (!loadBytesWith(utf8, url, std::string(), true))
        return false;
    if (documentElement())
        return true;
    impl().clearForLoad(impl_.use_count() > 1);
    setParseError(impl().parseError, kErrParseBase + XML_ERR_DOCUMENT_EMPTY, "文档格式错误");
    return false;
}

bool Document::loadBytesWith(const std::string& bytes, const std::string& url,
                             const std::string& httpCharset, bool recover,
                             const char* textlessElement) {
    initialize();
    DocImpl& d = impl();
    d.clearForLoad(impl_.use_count() > 1);

    std::string declared;
    std::string forced;
    if (!hasByteOrderMark(bytes)) {
        declared = declaredEncoding(bytes);
        if (!declared.empty())
            forced = decoderFor(declared);
        else if (!httpCharset.empty())
            forced = decoderFor(httpCharset).empty() ? httpCharset : decoderFor(httpCharset);
        // A charset the server made up is no reason to refuse the bytes; and
        // libxml2 would record the unknown name as the document's encoding,
        // which no save could then write.
        if (declared.empty() && !isKnownEncoding(forced))
            forced.clear();
    }

    // libxml2 takes the length as an int: a larger file would be cut short
    // without a word.
    if (bytes.size() > static_cast<size_t>(INT32_MAX)) {
        setParseError(d.parseError, kErrOutOfMemory, "文件太大");
        return false;
    }
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) {
        setParseError(d.parseError, kErrOutOfMemory, "out of memory");
        return false;
    }
    ParseState state;
    state.textlessElement = reinterpret_cast<const xmlChar*>(textlessElement);
    ctxt->_private = &state;
    FirstError& firstError = state.firstError;
    if (ctxt->sax) {
        ctxt->sax->serror = captureFirstError;
        if (textlessElement) {
            ctxt->sax->characters = charactersUnlessTextless;
            ctxt->sax->ignorableWhitespace = charactersUnlessTextless;
            ctxt->sax->cdataBlock = cdataUnlessTextless;
        }
    }
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()),
                                      url.empty() ? nullptr : url.c_str(),
                                      forced.empty() ? nullptr : forced.c_str(),
                                      kParseOptions | (recover ? XML_PARSE_RECOVER : 0));
    if (!doc || (!ctxt->wellFormed && !recover)) {
        if (!firstError.seen) {
            const xmlError& err = ctxt->lastError;
            firstError = {true, err.code, err.line, err.int2, err.message ? err.message : ""};
        }
        std::string reason =
            firstError.message.empty() ? "文档格式错误" : trimTrailingNewline(firstError.message);
        setParseError(d.parseError, kErrParseBase + static_cast<uint32_t>(firstError.code & 0xFFF),
                      reason, firstError.line, firstError.column);
        if (doc)
            xmlFreeDoc(doc);
        xmlFreeParserCtxt(ctxt);
        return false;
    }
    xmlFreeParserCtxt(ctxt);
    if (!keepEntitiesAsContent(doc, bytes.size(), d.parseError))
        return false;
    if (!forced.empty() && !declared.empty()) {
        // Save back under the name the file declared.
        if (doc->encoding)
            xmlFree(const_cast<xmlChar*>(doc->encoding));
        doc->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>(declared.c_str()));
    }
    if (doc->encoding && isOtherSpellingOfUtf8(reinterpret_cast<const char*>(doc->encoding))) {
        xmlFree(const_cast<xmlChar*>(doc->encoding));
        doc->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("UTF-8"));
    }
    dropBlankText(doc->children);
    d.doc = doc;
    d.url = url;
    return true;
}

const ParseError& Document::parseError() const {
    return impl().parseError;
}

Node Document::documentElement() const {
    DocImpl& d = impl();
    if (!d.doc)
        return {};
    xmlNodePtr root = xmlDocGetRootElement(d.doc);
    return root ? Node(impl_, root) : Node();
}

std::string Document::url() const {
    return impl().url;
}

namespace {

std::string serialise(xmlDocPtr doc, const char* encoding) {
    xmlChar* memory = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &memory, &size, encoding, 1);
    if (!memory)
        throw DomError(kErrFail, std::string("cannot write the encoding ") + encoding);
    std::string result(reinterpret_cast<const char*>(memory), static_cast<size_t>(size));
    xmlFree(memory);
    return result;
}

// A parser must be able to read a file's declaration before it knows the
// encoding; in UTF-7, say, it cannot, and the saved file would never load.
bool declarationIsReadable(const std::string& bytes) {
    if (bytes.size() < 4)
        return false;
    return xmlDetectCharEncoding(reinterpret_cast<const unsigned char*>(bytes.data()), 4) !=
           XML_CHAR_ENCODING_NONE;
}

} // namespace

namespace {
bool isUnicodeEncoding(const std::string& name) {
    std::string lower = platform::lowerAscii(name);
    return lower.empty() || lower.compare(0, 3, "utf") == 0 || lower.compare(0, 3, "ucs") == 0;
}

bool hasNonAscii(const xmlChar* text) {
    for (; text && *text; ++text) {
        if (*text >= 0x80)
            return true;
    }
    return false;
}

// Read back the way a load reads it: a GBK or GB2312 file as GB18030, in
// which a few single bytes GBK writes (0x80, the euro sign) mean nothing.
bool parsesAsXml(const std::string& bytes) {
    std::string forced = decoderFor(declaredEncoding(bytes));
    xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                  forced.empty() ? nullptr : forced.c_str(), kParseOptions);
    if (!doc)
        return false;
    xmlFreeDoc(doc);
    return true;
}

// A character the file's encoding cannot hold is written as a character
// reference, which means nothing inside CDATA. Such sections become plain
// text, escaped on output: the content stays the same.
void cdataToTextForLegacyEncoding(xmlNodePtr node) {
    for (; node; node = node->next) {
        if (node->type == XML_CDATA_SECTION_NODE && hasNonAscii(node->content))
            node->type = XML_TEXT_NODE;
        else if (node->type == XML_ELEMENT_NODE)
            cdataToTextForLegacyEncoding(node->children);
    }
}
} // namespace

std::string Document::xml() const {
    DocImpl& d = impl();
    if (!d.doc)
        throw DomError(kErrFail, "empty document");
    d.unpackAll();
    const char* encoding =
        d.doc->encoding ? reinterpret_cast<const char*>(d.doc->encoding) : "utf-8";
    std::string result;
    if (isUnicodeEncoding(encoding)) {
        result = serialise(d.doc, encoding);
    } else {
        // The document in memory keeps its CDATA; only the written copy changes.
        std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> copy(xmlCopyDoc(d.doc, 1), xmlFreeDoc);
        if (!copy)
            throw DomError(kErrOutOfMemory, "out of memory");
        cdataToTextForLegacyEncoding(copy->children);
        result = serialise(copy.get(), encoding);
        // Outside texts a character reference means nothing either: an
        // element or attribute name in a GBK-only character, declared
        // GB2312, would leave a file that no longer parses. Such a document
        // is written in UTF-8 instead.
        if (!parsesAsXml(result))
            result = serialise(d.doc, "utf-8");
    }
    if (!declarationIsReadable(result))
        result = serialise(d.doc, "utf-8");
    return result;
}

void Document::save(const std::string& path) const {
    std::string error;
    if (!platform::writeFileAtomically(platform::pathOfFileAddress(path), xml(), &error))
        throw DomError(kErrFail, error);
}

Node Document::createElement(const std::string& name) {
    DocImpl& d = impl();
    if (!d.doc) {
        d.doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
        if (!d.doc)
            throw DomError(kErrOutOfMemory, "out of memory");
    }
    xmlNodePtr node =
        xmlNewDocNode(d.doc, nullptr, reinterpret_cast<const xmlChar*>(name.c_str()), nullptr);
    if (!node)
        throw DomError(kErrOutOfMemory, "out of memory");
    d.detached.insert(node);
    return Node(impl_, node);
}

void Document::packAttributes() {
    DocImpl& d = impl();
    if (d.doc)
        d.packed.pack(reinterpret_cast<xmlNodePtr>(d.doc));
}

std::vector<Node> Document::getElementsByTagName(const char* name) const {
    std::vector<Node> found;
    Node root = documentElement();
    if (!root)
        return found;
    // Iterative pre-order walk: deep documents must not exhaust the stack.
    xmlNodePtr node = asNode(root.node_);
    xmlNodePtr top = node;
    while (node) {
        if (node->type == XML_ELEMENT_NODE) {
            Node handle(impl_, node);
            if (handle.nameIs(name))
                found.push_back(std::move(handle));
        }
        if (node->type == XML_ELEMENT_NODE && node->children) {
            node = node->children;
            continue;
        }
        while (node && node != top && !node->next)
            node = node->parent;
        if (!node || node == top)
            break;
        node = node->next;
    }
    return found;
}

std::string formatParseError(const ParseError& error) {
    char head[96];
    std::snprintf(head, sizeof head, "错误代码 0x%.8X 行:%d,列:%d,原因:", error.errorCode,
                  error.line, error.linepos);
    return head + error.reason;
}

} // namespace kelvor::xml
