// The XML DOM service: a small document/node API over libxml2, with libcurl
// behind load() for web addresses.
//
// Handles are shared: a Document and every Node taken from it keep the
// underlying libxml2 document alive, so a tree item holding a node keeps its
// whole file in memory and the last handle frees it. Nodes removed from their
// parent, and nodes created but never attached, stay valid while handles to
// them exist (they are freed with the document).
//
// Every failing call, and the use of a null node where a node is required,
// throws DomError carrying a 32-bit code. "Not found" answers (a null child,
// a missing attribute, a false result from load) are not failures.
//
// A document and its nodes belong to one thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvor::xml {

// Failure codes of the DOM layer.
constexpr uint32_t kErrPointer = 0x80004003;     // null node used where a node is needed
constexpr uint32_t kErrOutOfMemory = 0x8007000E; // allocation failed
constexpr uint32_t kErrInvalidArg = 0x80070057;  // bad argument (node of another document...)
constexpr uint32_t kErrFail = 0x80004005;        // unspecified failure (save, serialise)
// Load failures reported through ParseError.
constexpr uint32_t kErrFileNotFound = 0x800C0006; // local file missing or unreadable
constexpr uint32_t kErrHttpBase = 0x800C0000;     // + HTTP status (0x800C0194 = 404)
constexpr uint32_t kErrNetworkBase = 0x800D0000;  // + libcurl error code
constexpr uint32_t kErrParseBase = 0xC00CE000;    // + libxml2 error code
// The document's own entities would make it too large (libxml2's entity
// loop code, which its own amplification check reports the same way).
constexpr uint32_t kErrEntityExpansion = kErrParseBase + 89;

class DomError : public std::runtime_error {
  public:
    DomError(uint32_t code, const std::string& what);
    uint32_t code() const { return code_; }

  private:
    uint32_t code_;
};

struct ParseError {
    uint32_t errorCode = 0;
    int line = 0;
    int linepos = 0;
    std::string reason;
};

// Limits of a web load. The defaults keep a stalled or endless server from
// holding a worker forever.
struct LoadOptions {
    long connectTimeoutMs = 15000;
    long totalTimeoutMs = 60000;
    size_t maxBytes = 64u * 1024 * 1024;
    // When set and turned true, a running transfer stops as soon as possible.
    const std::atomic<bool>* cancel = nullptr;
    // Validators of the copy at hand, sent as If-None-Match and
    // If-Modified-Since when not empty (web loads only).
    std::string ifNoneMatch;
    std::string ifModifiedSince;
    // When set, the text right inside elements of that name is dropped as it
    // is read, never held: a reader that has no use for it (the tree's
    // channel copies, whose descriptions stay on disk) saves the time and
    // the memory.
    const char* textlessElement = nullptr;
};

enum class NodeType {
    Null,
    Element,
    Attribute,
    Text,
    CData,
    Comment,
    ProcessingInstruction,
    Document,
    Other
};

struct DocImpl;
class Document;

class Node {
  public:
    Node() = default;

    bool isNull() const { return node_ == nullptr; }
    explicit operator bool() const { return node_ != nullptr; }
    bool operator==(const Node& other) const { return node_ == other.node_; }
    bool operator!=(const Node& other) const { return node_ != other.node_; }

    NodeType type() const;
    bool isElement() const { return type() == NodeType::Element; }
    // Qualified name ("prefix:local" when the element has a prefix).
    std::string nodeName() const;
    bool nameIs(const char* name) const; // exact, case-sensitive, no allocation
    // The name without its prefix, and the namespace it is in (empty when none).
    std::string localName() const;
    std::string namespaceUri() const;
    // True for an element of that local name in that namespace; no allocation.
    bool isElementNs(const char* localName, const char* namespaceUri) const;
    // The node's own xml:base attribute (not inherited), empty when absent.
    std::string xmlBase() const;
    // The children serialised as markup, as they stand in the document.
    std::string innerXml() const;

    Node firstChild() const;
    Node nextSibling() const;
    Node parentNode() const;
    bool hasChildNodes() const;
    Document ownerDocument() const;

    // Concatenated text of the node and its descendants (text and CDATA);
    // the value for an attribute.
    std::string text() const;
    // Replaces the content by one text node; stored as is, escaped on save.
    // Characters XML cannot hold are cleaned first (see XmlChars.h), so the
    // saved document always reads back.
    void setText(const std::string& value) const;

    // Attributes without namespace, looked up by exact name.
    bool hasAttribute(const char* name) const;
    bool hasAttributes() const;
    std::optional<std::string> attribute(const char* name) const;
    // Empty string when the attribute is absent.
    std::string attributeOr(const char* name, const std::string& fallback = {}) const;
    // Adds the attribute at the end, or replaces the value in place. The
    // value is cleaned like setText's.
    void setAttribute(const char* name, const std::string& value) const;
    // No error when the attribute is absent.
    void removeAttribute(const char* name) const;

    // Standard DOM semantics; the new child must belong to the same document.
    Node appendChild(const Node& child) const;
    // Inserts before ref; a null ref appends.
    Node insertBefore(const Node& child, const Node& ref) const;
    Node removeChild(const Node& child) const;
    // Removes the child and frees it, with all below it, at once, where
    // removeChild keeps it until the document goes. No handle may point to
    // it or into it: for trimming a document just loaded, before its nodes
    // are handed out.
    void freeChild(const Node& child) const;

    // Opaque identity, for maps and tests.
    const void* raw() const { return node_; }

  private:
    friend class Document;
    friend struct DocImpl;
    Node(std::shared_ptr<DocImpl> doc, void* node) : doc_(std::move(doc)), node_(node) {}
    void* require() const; // throws kErrPointer for a null node

    std::shared_ptr<DocImpl> doc_;
    void* node_ = nullptr;
};

class Document {
  public:
    Document() = default;
    // A new, empty document (no root, no URL).
    static Document create();

    bool isNull() const { return impl_ == nullptr; }
    explicit operator bool() const { return impl_ != nullptr; }

    // Loads a local path (relative to the current directory), a "file://"
    // address or an "http(s)://" address. False plus parseError() on failure;
    // the previous content is dropped either way. Every load keeps what the
    // document's own entities stand for as plain content, within a few times
    // the document's size (kErrEntityExpansion past it), and drops the
    // document type: no copy saved from it carries a DTD.
    bool load(const std::string& address);
    bool load(const std::string& address, const LoadOptions& options);
    // Parses a document from text (UTF-8 unless its declaration says otherwise).
    bool loadXML(const std::string& text);
    // Parses bytes as if they came from the given address (used by tests and
    // by callers that fetched the bytes themselves).
    bool loadBytes(const std::string& bytes, const std::string& url,
                   const std::string& httpCharset = {});

    // A second reading of text that did not parse: UTF-8 (declaration and
    // all), read on past errors, keeping what libxml2 makes of it. Still no
    // external entities, no DTD, no network. False when no root comes out.
    // Past the first error libxml2 drops every entity reference, "&amp;"
    // included; character references stay, so callers write those.
    bool loadRepairedBytes(const std::string& utf8, const std::string& url);

    const ParseError& parseError() const;
    Node documentElement() const;
    // "file:///abs/path" after a local load, the address after a web load,
    // empty after loadXML.
    std::string url() const;

    // Writes the whole document in the encoding its declaration names, through
    // a temporary file in the same folder and a rename. Throws DomError; the
    // old file is left intact on failure.
    void save(const std::string& path) const;
    // The serialised document, as save() would write it.
    std::string xml() const;

    Node createElement(const std::string& name);

    // For a document that is from now on mostly read: keeps each element's
    // attributes in one compact record instead of libxml2's three blocks
    // apiece (the title and link of an entry of a channel copy take some 600
    // bytes in those, about 90 packed). Reading them is as before;
    // setAttribute, removeAttribute, innerXml and a save bring the
    // attributes they touch back first, so the document stays the same.
    // A reload drops the packing with the content.
    void packAttributes();
    // Elements of that exact qualified name anywhere below the root, in
    // document order.
    std::vector<Node> getElementsByTagName(const char* name) const;

    bool operator==(const Document& other) const { return impl_ == other.impl_; }

  private:
    friend class Node;
    explicit Document(std::shared_ptr<DocImpl> impl) : impl_(std::move(impl)) {}
    DocImpl& impl() const; // throws kErrPointer for a null document
    bool loadBytesWith(const std::string& bytes, const std::string& url,
                       const std::string& httpCharset, bool recover,
                       const char* textlessElement = nullptr);

    std::shared_ptr<DocImpl> impl_;
};

// Formats a parse error as the program shows it:
// "错误代码 0x%.8X 行:%d,列:%d,原因:%s".
std::string formatParseError(const ParseError& error);

// Called once at program start on the main thread, and again (cheaply) by
// the DOM itself on every thread that creates or loads a document.
void initialize();

} // namespace kelvor::xml
