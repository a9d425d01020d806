// What the indexer reads before it writes: the texts as the store keeps
// them (deflated, and read back whoever deflated them), and the files read
// ahead on other threads.
#include "store/PackedText.h"
#include "store/ReadAhead.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

using kelvor::test::TempDir;
namespace store = kelvor::store;

namespace {

// As stores written before libdeflate deflated their texts: zlib, raw,
// a window of 8 KB.
std::string packedByZlib(const std::string& text) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 1, Z_DEFLATED, -13, 6, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(1 + deflateBound(&stream, uLong(text.size())), '\xFF');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = uInt(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[1]);
    stream.avail_out = uInt(out.size() - 1);
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(1 + stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string sentences(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += "长江大桥 harbour lights " + std::to_string(i * 7919 % 1000) + "。";
    return text;
}

std::string copyOf(const std::string& title, int items) {
    std::string tree = R"(<?xml version="1.0" encoding="utf-8"?><Tree Type="rss" Title=")" +
                       title + R"(" BaseURL="http://127.0.0.1:9/)" + title + "\">";
    for (int i = 0; i < items; ++i)
        tree += "<TreeNode Title=\"" + title + " " + std::to_string(i) +
                "\" Href=\"http://n.test/" + title + "/" + std::to_string(i) +
                "\"><Desc>&lt;p&gt;" + sentences(20) + "&lt;/p&gt;</Desc></TreeNode>";
    return tree + "</Tree>";
}

} // namespace

TEST(PackedText, ReadsBackWhatEitherDeflaterWroteWhateverItsSize) {
    // A text that deflates to a hundredth of its size needs far more room
    // than its stored bytes suggest.
    for (const std::string& text : {sentences(40), sentences(4000), std::string(1 << 20, 'a')}) {
        std::string packed = store::packText(text);
        ASSERT_LT(packed.size(), text.size() / 2);
        EXPECT_EQ(store::unpackText(packed), text);
        EXPECT_EQ(store::unpackText(packedByZlib(text)), text);
    }
    std::string shortText = "短 text";
    EXPECT_EQ(store::packText(shortText), shortText);
    EXPECT_EQ(store::unpackText(shortText), shortText);
}

TEST(PackedText, ADamagedTextGivesWhatCanStillBeRead) {
    std::string text = sentences(400);
    std::string packed = store::packText(text);
    std::string cut = store::unpackText(packed.substr(0, packed.size() / 2));
    EXPECT_FALSE(cut.empty());
    EXPECT_LT(cut.size(), text.size());
    EXPECT_EQ(text.compare(0, cut.size(), cut), 0);
}

// More files than there are threads, taken in order as the indexer takes
// them: each as reading it here gives, ready for the writer.
TEST(StoreIndexing, ReadAheadGivesEachFileAsReadAtItsStampAndNothingForOneChangedSince) {
    TempDir home;
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i)
        paths.push_back(home.write("rss/c" + std::to_string(i) + ".xml",
                                   copyOf("c" + std::to_string(i), 5 + i)));
    store::ReadAhead ahead(home.path());
    for (const std::string& path : paths)
        ahead.start(path, 1, 100);
    ahead.start(paths[0], 2, 200); // a second start of a file is none
    EXPECT_FALSE(ahead.take(home.file("rss/never.xml"), 1, 100));
    for (size_t i = 0; i < paths.size(); ++i) {
        std::optional<store::TreeFileContent> read =
            ahead.take(paths[i], 1, i == 3 ? 101 : 100); // the fourth changed since
        if (i == 3) {
            EXPECT_FALSE(read);
            continue;
        }
        ASSERT_TRUE(read) << paths[i];
        store::TreeFileContent direct = store::readTreeFileContent(paths[i], home.path());
        ASSERT_EQ(read->items.size(), direct.items.size());
        EXPECT_EQ(read->channel, direct.channel);
        for (size_t k = 0; k < direct.items.size(); ++k) {
            const store::IndexedItem& item = read->items[k];
            EXPECT_EQ(item.body, direct.items[k].body);
            EXPECT_EQ(store::unpackText(item.packedBody), item.body);
            EXPECT_TRUE(item.split.ready && item.split.wordsReady);
        }
        EXPECT_FALSE(ahead.take(paths[i], 1, 100)) << "taken once";
    }
    // Files started and never taken do not hold up its end.
    for (const std::string& path : paths)
        ahead.start(path, 3, 300);
}
