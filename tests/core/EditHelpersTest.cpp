// The title cut and the stored form of a pasted NodeSrc.
#include "tree/NodeSrcForm.h"
#include "tree/TitleCut.h"

#include <gtest/gtest.h>

using kelvor::tree::cutToCodePageBytes;
using kelvor::tree::storedNodeSrc;

TEST(TitleCut, CountsCodePageBytesAndNeverSplitsACharacter) {
    EXPECT_EQ(cutToCodePageBytes(std::string(60, 'x'), 50), std::string(50, 'x'));
    EXPECT_EQ(cutToCodePageBytes("short", 50), "short");
    EXPECT_EQ(cutToCodePageBytes("", 50), "");
    // Chinese characters take two bytes: 25 of them fill 50 exactly.
    std::string han;
    for (int i = 0; i < 30; ++i)
        han += "汉";
    EXPECT_EQ(cutToCodePageBytes(han, 50), han.substr(0, 25 * 3));
    // One ASCII byte in front leaves room for 24; the 25th would be cut in half.
    EXPECT_EQ(cutToCodePageBytes("a" + han, 50), "a" + han.substr(0, 24 * 3));
    // A character outside the basic plane is still one whole character.
    EXPECT_EQ(cutToCodePageBytes("ab\xF0\x9F\x98\x80" "c", 3), "ab");
    EXPECT_EQ(cutToCodePageBytes("ab\xF0\x9F\x98\x80" "c", 4), "ab\xF0\x9F\x98\x80");
    // A broken sequence at the end does not run past the text.
    EXPECT_EQ(cutToCodePageBytes("a\xE6", 50), "a\xE6");
}

TEST(NodeSrcForm, InsideTheHomeFolderRelativeElsewhereAFileAddress) {
    const std::string home = "/home/u/Kelvor";
    EXPECT_EQ(storedNodeSrc("/home/u/Kelvor/fav/a.xml", home), "/fav/a.xml");
    EXPECT_EQ(storedNodeSrc("file:///home/u/Kelvor/fav/a.xml", home), "/fav/a.xml");
    EXPECT_EQ(storedNodeSrc("\\home\\u\\Kelvor\\fav\\a.xml", home), "/fav/a.xml");
    // A folder whose name merely starts like the home folder is elsewhere.
    EXPECT_EQ(storedNodeSrc("/home/u/Kelvor2/fav/a.xml", home), "file:///home/u/Kelvor2/fav/a.xml");
    EXPECT_EQ(storedNodeSrc("/etc/x.xml", home), "file:///etc/x.xml");
    EXPECT_EQ(storedNodeSrc("file:///etc/x.xml", home), "file:///etc/x.xml");
    EXPECT_EQ(storedNodeSrc("C:\\old\\x.xml", home), "C:\\old\\x.xml");
    EXPECT_EQ(storedNodeSrc("", home), "");
}
