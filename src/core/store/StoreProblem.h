// What the search box and kelvor-tool say when the index cannot be kept up
// to date: the words a user reads, in Chinese.
#pragma once

#include "store/Database.h"

#include <exception>
#include <string>

namespace kelvor::store {

class Store;

// Why the index could not be brought up to date; what was indexed before
// can still be searched.
std::string indexProblemText(const StoreError& error);

// Why a search failed, to be said instead of "nothing found": "搜索失败：…".
std::string searchProblemText(const std::exception& error);

// Why a search (or an index update) could not run at all: the store would
// not open. Worded as searchProblemText words it.
std::string storeUnopenedText();

// What a store in memory (a home that must not be written) means for the
// user; "" for a store on disk.
std::string storeNotice(const Store& store);

} // namespace kelvor::store
