// The rules that used to exist in several copies, each slightly different;
// the cases are those where one of the old copies answered otherwise.
#include "platform/AddressPolicy.h"
#include "platform/HomeFolder.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "tree/NodeSrcForm.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace platform = kelvor::platform;

TEST(SharedTextRules, SchemeIsOneToFiveLettersBeforeTheColon) {
    EXPECT_TRUE(platform::hasScheme("https://a.example/x.xml")); // one copy stopped at four
    EXPECT_TRUE(platform::hasScheme("C:\\old\\x.xml"));
    EXPECT_FALSE(platform::hasScheme("ab/c:d.xml")); // one copy took any character
    EXPECT_FALSE(platform::hasScheme("a1:x.xml"));
    EXPECT_FALSE(platform::hasScheme("mailtox:y"));
    EXPECT_FALSE(platform::hasScheme(":x"));
}

TEST(SharedTextRules, InvalidUtf8IncludesSurrogatesAndOverlongForms) {
    // The favorites import let these through into the tree file.
    for (std::string bad :
         {"\xED\xA0\x80", "\xE0\x80\xAF", "\xF5\x80\x80\x80", "\xC0\xAF", "\xE4\xB8"})
        EXPECT_EQ(platform::utf8SequenceLength(bad, 0), 0u) << bad;
    uint32_t c = 0;
    EXPECT_EQ(platform::utf8SequenceLength("\xE4\xB8\xAD", 0, &c), 3u);
    EXPECT_EQ(c, 0x4E2Du);
    EXPECT_EQ(platform::utf8SequenceLength("\xF4\x8F\xBF\xBF", 0), 4u);
}

TEST(SharedTextRules, LowerCaseAndTrimTouchAsciiOnly) {
    EXPECT_EQ(platform::lowerAscii("Content-TYPE \xC3\x84"), "content-type \xC3\x84");
    EXPECT_EQ(platform::trimmed(" \t\r\n x y \n"), "x y");
    EXPECT_EQ(platform::trimmed(" \t "), "");
    EXPECT_EQ(platform::encodingInDeclaration("<?xml version='1.0' encoding=\"GBK\"?>"), "GBK");
    EXPECT_EQ(platform::encodingInDeclaration("<?xml version=\"1.0\" encoding=GBK?>"), "");
}

TEST(SharedTextRules, InsideAFolderIsJudgedOnWholeNamesAfterDots) {
    EXPECT_TRUE(platform::isInsideFolder("/home/k/fav/x.xml", "/home/k"));
    EXPECT_TRUE(platform::isInsideFolder("/home/k/rss", "/home/k/rss/"));
    EXPECT_FALSE(platform::isInsideFolder("/home/k2/x.xml", "/home/k"));
    // A plain prefix test took this for a file in rss/.
    EXPECT_FALSE(platform::isInsideFolder("/home/k/rss/../fav/x.xml", "/home/k/rss"));
    EXPECT_FALSE(platform::isInsideFolder("/home/k/../x.xml", "/home/k"));
}

TEST(SharedTextRules, NodeSrcNamesItsLocalFileOneWay) {
    const std::string home = "/home/k";
    // The OPML export read a backslash form as a name inside home itself.
    EXPECT_EQ(kelvor::tree::localPathOfNodeSrc("\\fav\\x.xml", "/elsewhere", home),
              "/home/k/fav/x.xml");
    EXPECT_EQ(kelvor::tree::localPathOfNodeSrc("sub/y.xml", "/home/k/fav", home),
              "/home/k/fav/sub/y.xml");
    EXPECT_EQ(kelvor::tree::localPathOfNodeSrc("file:///srv/t.xml", "/x", home), "/srv/t.xml");
    EXPECT_EQ(kelvor::tree::localPathOfNodeSrc("https://a.example/t.xml", "/x", home), "");
    EXPECT_EQ(kelvor::tree::localPathOfNodeSrc("", "/x", home), "");
}

TEST(SharedTextRules, FailuresReachTheSinkOnlyOnceOneIsSet) {
    std::vector<std::string> seen;
    platform::logFailure("before", "nobody listens");
    platform::setFailureSink([&](const char* where, const std::string& what) {
        seen.push_back(std::string(where) + ": " + what);
    });
    try {
        throw std::runtime_error("disk gone");
    } catch (...) {
        platform::logCurrentFailure("saving");
    }
    platform::setFailureSink(nullptr);
    platform::logFailure("after", "quiet again");
    EXPECT_EQ(seen, std::vector<std::string>{"saving: disk gone"});
}
