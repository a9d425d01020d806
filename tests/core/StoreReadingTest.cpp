// What the indexer reads before it writes: the texts as the store keeps
// them (deflated, and read back whoever deflated them).
#include "store/PackedText.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

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
