// Inputs the fuzzers turned up against the DOM service, kept as tests.
#include "platform/XmlDom.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kelvor::xml;
using kelvor::test::TempDir;

TEST(XmlDomHardening, ServerCharsetDecidesOnlyWhenItIsARealOne) {
    TempDir dir;
    // An unknown charset from a server is ignored: the bytes are read as
    // UTF-8 and the document can be saved again.
    Document made_up = Document::create();
    ASSERT_TRUE(made_up.loadBytes("<Tree Title=\"\xE4\xB8\xAD\"/>", "http://example.com/t.xml", "x-no-such-charset"));
    EXPECT_EQ(made_up.documentElement().attributeOr("Title"), "\xE4\xB8\xAD");
    std::string saved;
    ASSERT_NO_THROW(saved = made_up.xml());
    Document again = Document::create();
    ASSERT_TRUE(again.loadXML(saved)) << saved;
    EXPECT_EQ(again.documentElement().attributeOr("Title"), "\xE4\xB8\xAD");
    EXPECT_NO_THROW(made_up.save(dir.file("t.xml")));

    // A real one still decides how undeclared bytes are read: GB2312 is read
    // as GB18030, so "中" in GBK (D6 D0) comes out right.
    Document gbk = Document::create();
    ASSERT_TRUE(gbk.loadBytes("<Tree Title=\"\xD6\xD0\"/>", "http://example.com/g.xml", "gb2312"));
    EXPECT_EQ(gbk.documentElement().attributeOr("Title"), "\xE4\xB8\xAD");
    EXPECT_NO_THROW(gbk.save(dir.file("g.xml")));
}
