// Runs a tree command or mouse action so that an unexpected DOM failure ends
// it with a message instead of unwinding through Qt's event loop.
#pragma once

#include "frame/FrameInterface.h"
#include "platform/XmlDom.h"

#include <cstdio>
#include <string>

namespace kelvor::tree {

template <typename Action>
void runGuarded(Action&& action) {
    try {
        action();
    } catch (const xml::DomError& error) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%.8X", error.code());
        app::messageBox(std::string("操作未能完成（错误代码 ") + code + "）：" + error.what());
    }
}

} // namespace kelvor::tree
