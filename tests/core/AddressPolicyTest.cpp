// Addresses from strangers: the tricks that pass a check on the raw text.
#include "platform/AddressPolicy.h"

#include <gtest/gtest.h>

using namespace kelvor::platform;

TEST(AddressPolicy, ScriptAddressesAreFoundHoweverTheyAreDressed) {
    for (const char* address :
         {"javascript:alert(1)", " javascript:alert(1)", "JaVaScRiPt:alert(1)",
          "java\tscript:alert(1)", "java\nscript:alert(1)", "\x01\x1fjavascript:x",
          "vbscript:msgbox(1)", "java\x01script:x", "java\xEF\xBF\xBEscript:x",
          "data:text/html,<script>alert(1)</script>", "\r\n data:text/html,x"}) {
        EXPECT_TRUE(isScriptAddress(address)) << address;
        EXPECT_EQ(acceptedAddress(address, AddressOrigin::Web), "") << address;
        EXPECT_EQ(acceptedAddress(address, AddressOrigin::LocalFile), "") << address;
    }
    EXPECT_FALSE(isScriptAddress("https://example.com/javascript:x"));
    EXPECT_FALSE(isScriptAddress("page/javascript:x"));
}

TEST(AddressPolicy, OnlyOrdinaryAddressesComeInAndFileOnlyFromAFile) {
    EXPECT_EQ(acceptedAddress(" https://example.com/a?b=1&c=2\n", AddressOrigin::Web),
              "https://example.com/a?b=1&c=2");
    EXPECT_EQ(acceptedAddress("HTTP://example.com/", AddressOrigin::Web), "HTTP://example.com/");
    EXPECT_EQ(acceptedAddress("ftp://example.com/f", AddressOrigin::Web), "ftp://example.com/f");
    EXPECT_EQ(acceptedAddress("mailto:a@example.com", AddressOrigin::Web), "mailto:a@example.com");
    EXPECT_EQ(acceptedAddress("news/today.html", AddressOrigin::Web), "news/today.html");
    EXPECT_EQ(acceptedAddress("/abs/x#y:z", AddressOrigin::Web), "/abs/x#y:z");

    EXPECT_EQ(acceptedAddress("file:///etc/passwd", AddressOrigin::Web), "");
    EXPECT_EQ(acceptedAddress(" FILE:///etc/passwd", AddressOrigin::Web), "");
    EXPECT_EQ(acceptedAddress("file:///home/u/a.xml", AddressOrigin::LocalFile),
              "file:///home/u/a.xml");
    for (const char* address : {"place:folder=1", "about:blank", "chrome://settings",
                                "view-source:http://x/", "c:\\windows", "blob:http://x/1"})
        EXPECT_EQ(acceptedAddress(address, AddressOrigin::LocalFile), "") << address;

    EXPECT_TRUE(isWebAddress(" Https://example.com/"));
    EXPECT_FALSE(isWebAddress("file:///dev/zero"));
    EXPECT_FALSE(isWebAddress("ftp://example.com/"));
}
