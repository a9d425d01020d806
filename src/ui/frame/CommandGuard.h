// Runs a tree command or mouse action so that an unexpected failure (the
// DOM, the index store, the file system, anything else) ends it with a
// message instead of unwinding through Qt's event loop.
#pragma once

#include "frame/FrameInterface.h"
#include "platform/Log.h"
#include "platform/XmlDom.h"
#include "store/Database.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

namespace kelvor::tree {

// What the user is told of a failure; the details go to the failure log.
inline void reportCommandFailure(const std::string& message) {
    platform::logFailure("tree command", message);
    app::messageBox(message);
}

template <typename Action>
void runGuarded(Action&& action) {
    try {
        action();
    } catch (const xml::DomError& error) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%.8X", error.code());
        reportCommandFailure(std::string("操作未能完成（错误代码 ") + code + "）：" + error.what());
    } catch (const store::StoreError& error) {
        reportCommandFailure(std::string("操作失败：索引数据库出错：") + error.what());
    } catch (const std::filesystem::filesystem_error& error) {
        reportCommandFailure("操作失败：无法访问 " + error.path1().string() + "：" +
                             error.code().message());
    } catch (const std::exception& error) {
        reportCommandFailure(std::string("操作失败：") + error.what());
    } catch (...) {
        reportCommandFailure("操作失败：未知错误");
    }
}

} // namespace kelvor::tree
