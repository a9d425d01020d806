// The headline updates of hot categories while their channels' copies are
// looked for. Whether a copy is expired only its header tells, and a hot
// category of a thousand channels read a thousand headers on the window's
// thread as it opened; a finder of their own reads them, and each headline
// download is queued as its answer comes back (CLeftViewChannels.cpp).
#pragma once

#include "platform/XmlDom.h"
#include "tree/ChannelSource.h"
#include "tree/CopyFinder.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>

class QTreeWidgetItem;

// The channels of one hot file as one PopulateItems asked for them.
struct HotHeadlineLoad {
    bool all = false;             // every channel, not only those whose copy is not fresh
    int queued = 0;               // headline downloads queued for it so far
    std::uint64_t lastTicket = 0; // its last question: its answer ends the load
    kelvor::xml::Document file;
    // A headline that came in while answers were awaited was not saved
    // as the last one: the load saves it as it ends, when nothing else will.
    bool unsaved = false;
};

struct HotHeadlines {
    using Load = HotHeadlineLoad;
    struct Asked {
        std::uint64_t ticket = 0;
        kelvor::tree::ChannelCopyQuestion question;
        std::shared_ptr<Load> load;
    };
    std::unordered_map<QTreeWidgetItem*, Asked> asked; // items gone are erased
    std::deque<std::shared_ptr<Load>> loads;           // in the order asked, as answered
    // Last, so it goes first: no answer outlives what it is checked against.
    std::unique_ptr<kelvor::tree::CopyFinder> finder;
};
