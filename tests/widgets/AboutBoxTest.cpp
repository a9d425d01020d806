#include "app/CAboutDlg.h"
#include "support/HomeGuard.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using kelvor::test::TempDir;

TEST(AboutBox, LinesComeFromIndexAttributesWhenPresentAndNotEmpty) {
    kelvor::test::RecordingMessageBoxes boxes;
    TempDir dir;
    kelvor::test::HomeGuard home(dir.path()); // the About box reads its index.xml
    CAboutDlg defaults;
    const QString product = defaults.productLine();
    const QString maker = defaults.makerLine();

    dir.write("index.xml", "<Tree About=\"自定义第一行\"/>");
    CAboutDlg onlyAbout;
    EXPECT_EQ(onlyAbout.productLine(), QStringLiteral("自定义第一行"));
    EXPECT_EQ(onlyAbout.makerLine(), maker);

    dir.write("index.xml", "<Tree Home=\"\" About=\"\"/>");
    CAboutDlg empty;
    EXPECT_EQ(empty.productLine(), product);
    EXPECT_EQ(empty.makerLine(), maker);

    dir.write("index.xml", "<Tree Home=\"https://example.org/\"/>");
    CAboutDlg onlyHome;
    EXPECT_EQ(onlyHome.productLine(), product);
    EXPECT_EQ(onlyHome.makerLine(), QStringLiteral("https://example.org/"));
    EXPECT_TRUE(boxes.messages.empty()) << "a missing or odd index.xml is no error here";
}
