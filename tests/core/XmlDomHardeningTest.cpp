// Faults of the DOM service found while fuzzing it and running it under the
// sanitizers, kept as tests.
#include "platform/XmlChars.h"
#include "platform/XmlDom.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kelvor::xml;
using kelvor::test::TempDir;

TEST(XmlDomHardening, ServerCharsetDecidesOnlyWhenItIsARealOne) {
    TempDir dir;
    // An unknown charset from a server is ignored: the bytes are read as
    // UTF-8 and the document can be saved again.
    Document madeUp = Document::create();
    ASSERT_TRUE(madeUp.loadBytes("<Tree Title=\"\xE4\xB8\xAD\"/>", "http://example.com/t.xml", "x-no-such-charset"));
    EXPECT_EQ(madeUp.documentElement().attributeOr("Title"), "\xE4\xB8\xAD");
    std::string saved;
    ASSERT_NO_THROW(saved = madeUp.xml());
    Document again = Document::create();
    ASSERT_TRUE(again.loadXML(saved)) << saved;
    EXPECT_EQ(again.documentElement().attributeOr("Title"), "\xE4\xB8\xAD");
    EXPECT_NO_THROW(madeUp.save(dir.file("t.xml")));

    // A real one still decides how undeclared bytes are read: GB2312 is read
    // as GB18030, so "中" in GBK (D6 D0) comes out right.
    Document gbk = Document::create();
    ASSERT_TRUE(gbk.loadBytes("<Tree Title=\"\xD6\xD0\"/>", "http://example.com/g.xml", "gb2312"));
    EXPECT_EQ(gbk.documentElement().attributeOr("Title"), "\xE4\xB8\xAD");
    EXPECT_NO_THROW(gbk.save(dir.file("g.xml")));
}

TEST(XmlDomHardening, StoredValuesAlwaysReadBackAfterASave) {
    // A form feed pasted into a title, a NUL, and bytes of another encoding
    // (a .url file written on a GBK system) must not make the file unreadable.
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadXML("<Tree><TreeNode/></Tree>"));
    Node node = doc.documentElement().firstChild();
    node.setAttribute("Title", std::string("a\x0C" "b\0c\xD6\xD0 \t\n\r\xEF\xBF\xBF\xE4\xB8\xAD", 17));
    node.setAttribute("Href", "http://example.com/?q=\x01");
    Node desc = doc.createElement("Desc");
    desc.setText("x\x02y\xC3");
    node.appendChild(desc);

    EXPECT_EQ(node.attributeOr("Title"), "abc\xEF\xBF\xBD\xEF\xBF\xBD \t\n\r\xE4\xB8\xAD");
    EXPECT_EQ(desc.text(), "xy\xEF\xBF\xBD");
    Document again = Document::create();
    ASSERT_TRUE(again.loadXML(doc.xml())) << formatParseError(again.parseError());
    Node reread = again.documentElement().firstChild();
    EXPECT_EQ(reread.attributeOr("Title"), node.attributeOr("Title"));
    EXPECT_EQ(reread.attributeOr("Href"), "http://example.com/?q=");
    EXPECT_EQ(reread.firstChild().text(), desc.text());
}

TEST(XmlDomHardening, XmlTextKeepsEveryValidCharacter) {
    // Shortest forms at each length boundary, the last plane, tab/LF/CR, DEL.
    std::string valid = "\t\n\r \x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80"
                        "\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
    EXPECT_TRUE(isXmlText(valid));
    EXPECT_EQ(toXmlText(valid), valid);
    // Overlong forms, surrogates, beyond U+10FFFF, truncated sequences.
    for (std::string bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8", "\xF0\x90\x80"}) {
        EXPECT_FALSE(isXmlText(bad)) << bad;
        std::string cleaned = toXmlText(bad);
        EXPECT_TRUE(isXmlText(cleaned)) << cleaned;
        EXPECT_NE(cleaned.find("\xEF\xBF\xBD"), std::string::npos);
    }
}

TEST(XmlDomHardening, AnEncodingWhoseDeclarationCannotBeReadIsSavedAsUtf8) {
    // Written back in the declared UTF-7 it would begin "+ADw?xml...", which
    // nothing can load.
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadBytes("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-7\"?><rss Title=\"News\"/>",
                              "file:///tmp/feed.xml"));
    std::string saved = doc.xml();
    EXPECT_EQ(saved.rfind("<?xml", 0), 0u) << saved;
    Document again = Document::create();
    ASSERT_TRUE(again.loadBytes(saved, "file:///tmp/feed.xml")) << formatParseError(again.parseError());
    EXPECT_EQ(again.documentElement().attributeOr("Title"), "News");
}

TEST(XmlDomHardening, NodesOfAReloadedDocumentStayReadable) {
    // A handle keeps what it points at alive, also when its document is
    // loaded again (the old content is dropped from the document, not freed).
    TempDir dir;
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadXML("<Tree Title=\"old\"><TreeNode Title=\"child\"/></Tree>"));
    Node oldRoot = doc.documentElement();
    Node oldChild = oldRoot.firstChild();
    Node removed = oldRoot.removeChild(oldChild);
    ASSERT_TRUE(doc.load(dir.write("new.xml", "<Tree Title=\"new\"/>")));
    EXPECT_EQ(oldRoot.attributeOr("Title"), "old");
    EXPECT_EQ(removed.attributeOr("Title"), "child");
    EXPECT_EQ(doc.documentElement().attributeOr("Title"), "new");
    ASSERT_FALSE(doc.loadXML("<broken"));
    EXPECT_EQ(oldRoot.nodeName(), "Tree");
}

TEST(XmlDomHardening, ANewFileGetsThePermissionsTheUmaskAllows) {
    TempDir dir;
    mode_t previous = ::umask(027);
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadXML("<Tree/>"));
    doc.save(dir.file("new.xml"));
    ::umask(previous);
    struct stat st;
    ASSERT_EQ(::stat(dir.file("new.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(XmlDomHardening, ANameTheDeclaredEncodingCannotHoldIsSavedInUtf8) {
    // 乶 (81 6E) is GBK, not GB2312: in a name it cannot become a character
    // reference, so the file is written in UTF-8 rather than broken.
    Document doc = Document::create();
    ASSERT_TRUE(doc.loadBytes("<?xml version=\"1.0\" encoding=\"gb2312\"?><rss versio\x81n=\"2.0\" Title=\"\xD6\xD0\"/>",
                              "file:///tmp/feed.xml"));
    Document again = Document::create();
    ASSERT_TRUE(again.loadBytes(doc.xml(), "file:///tmp/feed.xml")) << doc.xml();
    EXPECT_EQ(again.documentElement().attributeOr("versio\xE4\xB9\xB6"), "2.0");
    EXPECT_EQ(again.documentElement().attributeOr("Title"), "\xE4\xB8\xAD");

    // A file whose characters all fit keeps its encoding.
    ASSERT_TRUE(doc.loadBytes("<?xml version=\"1.0\" encoding=\"gb2312\"?><Tree Title=\"\xD6\xD0\"/>", "file:///tmp/t.xml"));
    EXPECT_NE(doc.xml().find("encoding=\"gb2312\""), std::string::npos) << doc.xml();
}
