#include "store/StoreProblem.h"

#include "store/Store.h"

#include <sqlite3.h>

namespace kelvor::store {

std::string indexProblemText(const StoreError& error) {
    switch (error.code() & 0xff) {
    case SQLITE_FULL:
        return "磁盘已满，无法更新搜索索引；搜索的是上次索引的内容";
    case SQLITE_IOERR:
        return "读写磁盘出错，无法更新搜索索引；搜索的是上次索引的内容";
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return "无法写入搜索索引 kelvor.db，搜索的是上次索引的内容";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "搜索索引正被另一个程序使用，稍后再更新";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return "搜索索引已损坏，且无法重建";
    default:
        return std::string("无法更新搜索索引：") + error.what();
    }
}

std::string searchProblemText(const std::exception& error) {
    const auto* storeError = dynamic_cast<const StoreError*>(&error);
    std::string why = error.what();
    switch (storeError ? storeError->code() & 0xff : SQLITE_OK) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
        why = "读写磁盘出错";
        break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        why = "无法打开搜索索引 kelvor.db";
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        why = "搜索索引正被另一个程序使用，请稍后再试";
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        why = "搜索索引已损坏";
        break;
    default:
        break;
    }
    return "搜索失败：" + why;
}

std::string storeUnopenedText() {
    return searchProblemText(StoreError(SQLITE_CANTOPEN, "kelvor.db"));
}

std::string storeNotice(const Store& store) {
    return store.inMemory() ? "主文件夹是只读的：搜索索引只建在内存中，已读标记不会保存" : "";
}

} // namespace kelvor::store
