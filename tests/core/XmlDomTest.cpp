#include "platform/XmlDom.h"
#include "support/HomeGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace kelvor::xml;
using kelvor::test::TempDir;

namespace {

std::string outline(const Node& node, int depth = 0) {
    std::string out;
    for (Node n = node; n; n = n.nextSibling()) {
        out += std::string(depth, ' ') + n.nodeName();
        if (n.isElement())
            out += "[" + n.attributeOr("Title") + "]";
        else
            out += "=" + n.text();
        out += "\n";
        if (n.isElement() && n.hasChildNodes())
            out += outline(n.firstChild(), depth + 1);
    }
    return out;
}

} // namespace

TEST(XmlDom, BrokenFileFillsAllParseErrorFields) {
    TempDir dir;
    std::string path = dir.write("broken.xml", "<Tree>\n  <TreeNode Title=\"a\">\n</Tree>\n");
    Document doc = Document::create();
    EXPECT_FALSE(doc.load(path));
    const ParseError& error = doc.parseError();
    EXPECT_EQ(error.errorCode & 0xFFFF0000u, 0xC00C0000u);
    EXPECT_EQ(error.line, 3);
    EXPECT_GT(error.linepos, 0);
    EXPECT_FALSE(error.reason.empty());
    EXPECT_FALSE(doc.documentElement());
    std::string text = formatParseError(error);
    EXPECT_EQ(text.rfind("错误代码 0xC00C", 0), 0u) << text;
    EXPECT_NE(text.find("行:3,列:"), std::string::npos) << text;
}

TEST(XmlDom, MissingFileIsALoadFailureNotAnException) {
    Document doc = Document::create();
    EXPECT_FALSE(doc.load("/nonexistent/kelvor/file.xml"));
    EXPECT_EQ(doc.parseError().errorCode, kErrFileNotFound);
    EXPECT_NE(doc.parseError().reason.find("/nonexistent/kelvor/file.xml"), std::string::npos);
}

TEST(XmlDom, PrettyPrintedAndOneLineFilesGiveTheSameTree) {
    TempDir dir;
    std::string pretty = dir.write("pretty.xml",
                                   "<?xml version=\"1.0\"?>\n<Tree Type=\"fav\">\n"
                                   "  <TreeNode Title=\"a\">\n    <Desc><![CDATA[<b>x</b>]]></Desc>\n"
                                   "    <TreeNode Title=\"b\"/>\n  </TreeNode>\n"
                                   "  <!-- note -->\n  <TreeNode Title=\"c\" Href=\"h\"/>\n</Tree>\n");
    std::string flat = dir.write("flat.xml",
                                 "<?xml version=\"1.0\"?><Tree Type=\"fav\"><TreeNode Title=\"a\"><Desc><![CDATA["
                                 "<b>x</b>]]></Desc><TreeNode Title=\"b\"/></TreeNode><!-- note --><TreeNode "
                                 "Title=\"c\" Href=\"h\"/></Tree>");
    Document a = Document::create(), b = Document::create();
    ASSERT_TRUE(a.load(pretty));
    ASSERT_TRUE(b.load(flat));
    EXPECT_EQ(outline(a.documentElement()), outline(b.documentElement()));
    // The first child of a formatted element is its first element.
    EXPECT_TRUE(a.documentElement().firstChild().nameIs("TreeNode"));
    EXPECT_EQ(a.documentElement().firstChild().firstChild().text(), "<b>x</b>");
}

TEST(XmlDom, GbkFileReadsAndSavesBackIntact) {
    TempDir dir;
    // "中文" in GBK is D6 D0 CE C4; 瑄 (E8 AF) is a GBK character outside GB2312.
    std::string bytes = "<?xml version=\"1.0\" encoding=\"GBK\"?><Tree Title=\"\xD6\xD0\xCE\xC4\">"
                        "<TreeNode Title=\"\xAD\x76\"/></Tree>";
    std::string path = dir.write("gbk.xml", bytes);
    Document doc = Document::create();
    ASSERT_TRUE(doc.load(path)) << doc.parseError().reason;
    EXPECT_EQ(doc.documentElement().attributeOr("Title"), "中文");
    std::string rare = doc.documentElement().firstChild().attributeOr("Title");
    EXPECT_EQ(rare.size(), 3u); // one character, three bytes of UTF-8

    doc.save(dir.file("copy.xml"));
    std::string saved = dir.read("copy.xml");
    EXPECT_NE(saved.find("encoding=\"GBK\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("\xD6\xD0\xCE\xC4"), std::string::npos);
    Document again = Document::create();
    ASSERT_TRUE(again.load(dir.file("copy.xml")));
    EXPECT_EQ(again.documentElement().attributeOr("Title"), "中文");
    EXPECT_EQ(again.documentElement().firstChild().attributeOr("Title"), rare);
}

TEST(XmlDom, CharactersTheEncodingLacksSurviveInsideCdata) {
    TempDir dir;
    // FE FE is a private-use character in GB18030 that GBK cannot write; in
    // CDATA a character reference would be taken literally.
    std::string path = dir.write("cdata.xml", "<?xml version=\"1.0\" encoding=\"GBK\"?>"
                                              "<Tree><Desc><![CDATA[<b>\xFE\xFE\xD6\xD0</b>]]></Desc></Tree>");
    Document doc = Document::create();
    ASSERT_TRUE(doc.load(path)) << doc.parseError().reason;
    std::string before = doc.documentElement().firstChild().text();
    doc.save(dir.file("copy.xml"));
    Document again = Document::create();
    ASSERT_TRUE(again.load(dir.file("copy.xml")));
    EXPECT_EQ(again.documentElement().firstChild().text(), before);
}

TEST(XmlDom, AnotherSpellingOfUtf8IsSavedAsUtf8WithoutGarbling) {
    // A tree file declaring "utf-8-": once garbled a Chinese character of a
    // long description on save.
    TempDir dir;
    Document doc = Document::create();
    ASSERT_TRUE(doc.load(KELVOR_TEST_FIXTURES "/../fuzz-corpus/xml_dom/regress-utf8-spelt-otherwise.xml"));
    Node root = doc.documentElement();
    std::string text = root.text();
    root.firstChild().setAttribute("Title", text);
    Node desc = doc.createElement("Desc");
    desc.setText(text);
    root.appendChild(desc);
    doc.save(dir.file("copy.xml"));

    std::string saved = dir.read("copy.xml");
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << saved.substr(0, 80);
    Document again = Document::create();
    ASSERT_TRUE(again.load(dir.file("copy.xml")));
    std::vector<Node> descs = again.getElementsByTagName("Desc");
    ASSERT_FALSE(descs.empty());
    EXPECT_EQ(descs.back().text(), text);
}

TEST(XmlDom, AGbkSaveThatWouldNotReadBackIsWrittenInUtf8) {
    // GBK writes the euro sign as the single byte 0x80, which the GB18030
    // reading of GBK files refuses; in a name that would lose the file.
    TempDir dir;
    Document doc = Document::create();
    ASSERT_TRUE(doc.load(KELVOR_TEST_FIXTURES "/../fuzz-corpus/xml_dom/regress-gbk-euro-read-as-gb18030.xml"));
    doc.save(dir.file("copy.xml"));
    Document again = Document::create();
    ASSERT_TRUE(again.load(dir.file("copy.xml"))) << formatParseError(again.parseError());
    EXPECT_EQ(again.documentElement().attributeOr("Title"), doc.documentElement().attributeOr("Title"));
}

TEST(XmlDom, Gb2312DeclarationReadsGbkCharacters) {
    TempDir dir;
    std::string path = dir.write("gb.xml", "<?xml version=\"1.0\" encoding=\"gb2312\"?><Tree Title=\"\xAD\x76\"/>");
    Document doc = Document::create();
    ASSERT_TRUE(doc.load(path)) << doc.parseError().reason;
    EXPECT_EQ(doc.documentElement().attributeOr("Title").size(), 3u);
}

TEST(XmlDom, OtherDeclaredEncodingsLoad) {
    TempDir dir;
    // Big5 "中文" is A4 A4 A4 E5; ISO-8859-1 e-acute is E9.
    std::string big5 = dir.write("big5.xml", "<?xml version=\"1.0\" encoding=\"Big5\"?><Tree Title=\"\xA4\xA4\xA4\xE5\"/>");
    std::string latin = dir.write("latin.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Tree Title=\"caf\xE9\"/>");
    Document a = Document::create(), b = Document::create();
    ASSERT_TRUE(a.load(big5)) << a.parseError().reason;
    ASSERT_TRUE(b.load(latin)) << b.parseError().reason;
    EXPECT_EQ(a.documentElement().attributeOr("Title"), "中文");
    EXPECT_EQ(b.documentElement().attributeOr("Title"), "café");
}

TEST(XmlDom, ExternalEntityDoesNotLeakLocalFiles) {
    TempDir dir;
    std::string secret = dir.write("secret.txt", "TOP-SECRET-CONTENT");
    std::string path = dir.write("evil.xml", "<?xml version=\"1.0\"?><!DOCTYPE Tree [<!ENTITY x SYSTEM \"file://" +
                                                 secret + "\">]><Tree><TreeNode Title=\"&x;\">&x;</TreeNode></Tree>");
    Document doc = Document::create();
    if (doc.load(path)) {
        Node node = doc.documentElement().firstChild();
        EXPECT_EQ(node.attributeOr("Title").find("TOP-SECRET"), std::string::npos);
        EXPECT_EQ(node.text().find("TOP-SECRET"), std::string::npos);
        EXPECT_EQ(doc.xml().find("TOP-SECRET"), std::string::npos);
    }
}

TEST(XmlDom, EntityExpansionBombIsRejected) {
    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">";
    const char* prev = "a";
    std::string names = "bcdefghij";
    for (char c : names) {
        bomb += std::string("<!ENTITY ") + c + " \"";
        for (int i = 0; i < 10; ++i)
            bomb += std::string("&") + prev + ";";
        bomb += "\">";
        prev = nullptr;
        static std::string last;
        last = std::string(1, c);
        prev = last.c_str();
    }
    bomb += "]><r>&j;</r>";
    Document doc = Document::create();
    if (doc.loadXML(bomb)) {
        EXPECT_LT(doc.documentElement().text().size(), 100u * 1000 * 1000);
    }
}

TEST(XmlDom, NodeKeepsItsDocumentAlive) {
    Node kept;
    {
        Document doc = Document::create();
        ASSERT_TRUE(doc.loadXML("<Tree><TreeNode Title=\"still here\"><Desc>d</Desc></TreeNode></Tree>"));
        kept = doc.documentElement().firstChild();
    }
    EXPECT_EQ(kept.attributeOr("Title"), "still here");
    EXPECT_TRUE(kept.ownerDocument().documentElement().nameIs("Tree"));
    EXPECT_EQ(kept.firstChild().text(), "d");
}

TEST(XmlDom, RemovedAndUnattachedNodesStayUsable) {
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadXML("<Tree><TreeNode Title=\"a\"/><TreeNode Title=\"b\"/></Tree>"));
    Node root = doc.documentElement();
    Node removed = root.removeChild(root.firstChild());
    Node created = doc.createElement("TreeNode");
    created.setAttribute("Title", "new");
    EXPECT_EQ(removed.attributeOr("Title"), "a");
    EXPECT_FALSE(removed.parentNode());
    root.appendChild(removed);
    root.insertBefore(created, root.firstChild());
    EXPECT_EQ(outline(root.firstChild()), "TreeNode[new]\nTreeNode[b]\nTreeNode[a]\n");
}

TEST(XmlDom, FreedChildLeavesItsSiblingsAndOnlyAChildCanBeFreed) {
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadXML("<Tree><TreeNode Title=\"a\" Href=\"h\"><Desc>d</Desc></TreeNode>"
                            "<TreeNode Title=\"b\"/></Tree>"));
    Node root = doc.documentElement();
    Node first = root.firstChild();
    EXPECT_TRUE(first.hasAttributes());
    EXPECT_FALSE(first.firstChild().hasAttributes());
    EXPECT_THROW(root.freeChild(first.firstChild()), DomError); // a grandchild
    root.freeChild(first);
    EXPECT_EQ(outline(root.firstChild()), "TreeNode[b]\n");
    EXPECT_EQ(doc.xml().find("Desc"), std::string::npos);
}

TEST(XmlDom, TextOfTheTextlessElementIsNotRead) {
    TempDir dir;
    std::string path = dir.write("t.xml", "<Tree><TreeNode Title=\"a &amp; b\"><Desc>&lt;p&gt;long"
                                          "<![CDATA[ more ]]><b>bold</b></Desc></TreeNode>"
                                          "<Note>kept</Note></Tree>");
    LoadOptions options;
    options.textlessElement = "Desc";
    Document doc = Document::create();
    ASSERT_TRUE(doc.load(path, options));
    Node entry = doc.documentElement().firstChild();
    EXPECT_EQ(entry.attributeOr("Title"), "a & b");
    EXPECT_EQ(entry.firstChild().text(), "bold"); // an element inside keeps its own
    EXPECT_EQ(entry.nextSibling().text(), "kept");
    ASSERT_TRUE(doc.load(path)); // the next load of the document reads it all
    EXPECT_EQ(doc.documentElement().firstChild().firstChild().text(), "<p>long more bold");
}

TEST(XmlDom, NullNodeThrowsInvalidPointer) {
    Node null;
    try {
        null.nodeName();
        FAIL() << "expected DomError";
    } catch (const DomError& e) {
        EXPECT_EQ(e.code(), kErrPointer);
    }
    EXPECT_THROW(null.attribute("Title"), DomError);
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadXML("<Tree/>"));
    EXPECT_THROW(doc.documentElement().appendChild(Node()), DomError);
    EXPECT_FALSE(doc.documentElement().firstChild()); // absence is not a failure
}

TEST(XmlDom, AttributeAndTextValuesRoundTripThroughSave) {
    TempDir dir;
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadXML("<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree/>"));
    Node node = doc.createElement("TreeNode");
    const std::string tricky = "a & b < c > d \"q\" 'x' &amp; ##";
    node.setAttribute("Title", tricky);
    Node desc = doc.createElement("Desc");
    desc.setText("<p>html & text</p>");
    node.appendChild(desc);
    doc.documentElement().appendChild(node);
    doc.save(dir.file("t.xml"));

    Document again = Document::create();
    ASSERT_TRUE(again.load(dir.file("t.xml")));
    Node n = again.documentElement().firstChild();
    EXPECT_EQ(n.attributeOr("Title"), tricky);
    EXPECT_EQ(n.firstChild().text(), "<p>html & text</p>");
    EXPECT_EQ(again.url(), "file://" + dir.file("t.xml"));
}

TEST(XmlDom, FailedSaveLeavesOldFileIntactAndThrows) {
    TempDir dir;
    std::string path = dir.write("file.xml", "<Tree Title=\"old\"/>");
    Document doc = Document::create();
    ASSERT_TRUE(doc.load(path));
    doc.documentElement().setAttribute("Title", std::string(4096, 'n'));
    // A file size limit makes the write fail half-way, like a full disk.
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(doc.save(path), DomError);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(dir.read("file.xml"), "<Tree Title=\"old\"/>");
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1) << "the temporary file must be removed";
}

TEST(XmlDom, SaveIntoMissingFolderThrowsAndWritesNothing) {
    TempDir dir;
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadXML("<Tree/>"));
    try {
        doc.save(dir.file("no/such/folder/x.xml"));
        FAIL() << "expected DomError";
    } catch (const DomError& e) {
        EXPECT_EQ(e.code(), kErrFail);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

TEST(XmlDom, SaveReplacesFileWithoutLeavingTemporaries) {
    TempDir dir;
    std::string path = dir.write("f.xml", "<Tree Title=\"old\"/>");
    Document doc = Document::create();
    ASSERT_TRUE(doc.load(path));
    doc.documentElement().setAttribute("Title", "new");
    doc.save(path);
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
    EXPECT_NE(dir.read("f.xml").find("Title=\"new\""), std::string::npos);
}

TEST(XmlDom, UrlOfRelativeLoadIsAbsoluteFileAddress) {
    TempDir dir;
    dir.write("rel.xml", "<Tree/>");
    Document doc = Document::create();
    {
        kelvor::test::InFolder here(dir.path());
        EXPECT_TRUE(doc.load("rel.xml"));
    }
    EXPECT_EQ(doc.url(), "file://" + dir.file("rel.xml"));
    Document fromText = Document::create();
    ASSERT_TRUE(fromText.loadXML("<Tree/>"));
    EXPECT_EQ(fromText.url(), "");
}

TEST(XmlDom, ElementsByTagNameInDocumentOrderAtAnyDepth) {
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadXML("<rdf><channel><item n=\"1\"><item n=\"2\"/></item></channel>"
                            "<item n=\"3\"/><Item n=\"no\"/><x:item xmlns:x=\"u\" n=\"no\"/></rdf>"));
    auto items = doc.getElementsByTagName("item");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].attributeOr("n"), "1");
    EXPECT_EQ(items[1].attributeOr("n"), "2");
    EXPECT_EQ(items[2].attributeOr("n"), "3");
}
