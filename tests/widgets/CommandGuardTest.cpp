#include "frame/CommandGuard.h"
#include "support/Recorders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

using kelvor::test::RecordingMessageBoxes;

// Whatever a tree command throws ends in one message box, never in Qt's
// event loop.
TEST(CommandGuard, EveryFailureEndsInAMessage) {
    RecordingMessageBoxes boxes;
    kelvor::tree::runGuarded(
        [] { throw kelvor::store::StoreError(11, "database disk image is malformed"); });
    kelvor::tree::runGuarded([] {
        throw std::filesystem::filesystem_error("rename", "/home/k/fav/x.xml",
                                                std::make_error_code(std::errc::permission_denied));
    });
    kelvor::tree::runGuarded([] { throw std::runtime_error("bad things"); });
    kelvor::tree::runGuarded([] { throw 42; });
    bool ran = false;
    kelvor::tree::runGuarded([&] { ran = true; });
    EXPECT_TRUE(ran);
    ASSERT_EQ(boxes.messages.size(), 4u);
    EXPECT_EQ(boxes.messages[0].text, "操作失败：索引数据库出错：database disk image is malformed");
    EXPECT_EQ(boxes.messages[1].text, "操作失败：无法访问 /home/k/fav/x.xml：Permission denied");
    EXPECT_EQ(boxes.messages[2].text, "操作失败：bad things");
    EXPECT_EQ(boxes.messages[3].text, "操作失败：未知错误");
}
