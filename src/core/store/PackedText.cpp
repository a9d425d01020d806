#include "store/PackedText.h"

#include <libdeflate.h>
#include <sqlite3.h>
#include <zlib.h>

#include <algorithm>
#include <optional>

namespace kelvor::store {
namespace {

constexpr char kMarker = '\xFF'; // never a byte of UTF-8

// Texts shorter than this rarely shrink by more than the stream's own bytes.
constexpr size_t kShortest = 96;

// One compressor per thread: setting one up costs more than deflating a
// description. libdeflate writes the same raw deflate format as zlib did
// (any reader of either inflates it) in less than half of zlib's time at
// level 1, most of what is left being the clearing of its tables for each
// text; the texts come out 3 % larger.
class Deflater {
  public:
    Deflater() : compressor_(libdeflate_alloc_compressor(1)) {}
    ~Deflater() { libdeflate_free_compressor(compressor_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool deflate(const std::string& text, std::string& out) {
        if (!compressor_)
            return false;
        out.assign(1, kMarker);
        out.resize(1 + libdeflate_deflate_compress_bound(compressor_, text.size()));
        size_t size = libdeflate_deflate_compress(compressor_, text.data(), text.size(), &out[1],
                                                  out.size() - 1);
        if (size == 0)
            return false;
        out.resize(1 + size);
        return true;
    }

  private:
    libdeflate_compressor* compressor_;
};

// A whole text at once, into a buffer grown until it fits (the stored
// bytes do not say how long the text is). Streams zlib wrote inflate the
// same way; a damaged one goes to zlib, which gives what it can read.
class FastInflater {
  public:
    FastInflater() : decompressor_(libdeflate_alloc_decompressor()) {}
    ~FastInflater() { libdeflate_free_decompressor(decompressor_); }
    FastInflater(const FastInflater&) = delete;
    FastInflater& operator=(const FastInflater&) = delete;

    std::optional<std::string> inflate(const char* data, size_t size) {
        if (!decompressor_)
            return std::nullopt;
        std::string text;
        for (size_t room = std::max<size_t>(4 * size, 1024); room <= kLargestText; room *= 4) {
            text.resize(room);
            size_t length = 0;
            auto result = libdeflate_deflate_decompress(decompressor_, data, size, &text[0],
                                                        text.size(), &length);
            if (result == LIBDEFLATE_SUCCESS) {
                text.resize(length);
                return text;
            }
            if (result != LIBDEFLATE_INSUFFICIENT_SPACE)
                break;
        }
        return std::nullopt;
    }

  private:
    // SQLite's longest text: no text it kept inflates to more.
    static constexpr size_t kLargestText = size_t(1) << 30;
    libdeflate_decompressor* decompressor_;
};

class Inflater {
  public:
    Inflater() { ok_ = inflateInit2(&stream_, -15) == Z_OK; }
    ~Inflater() {
        if (ok_)
            inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // A damaged stream gives what could be read of it.
    std::string inflate(const char* data, size_t size) {
        std::string text;
        if (!ok_ || inflateReset(&stream_) != Z_OK)
            return text;
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream_.avail_in = static_cast<uInt>(size);
        char chunk[16384];
        int rc = Z_OK;
        while (rc == Z_OK) {
            stream_.next_out = reinterpret_cast<Bytef*>(chunk);
            stream_.avail_out = sizeof chunk;
            rc = ::inflate(&stream_, Z_NO_FLUSH);
            text.append(chunk, sizeof chunk - stream_.avail_out);
            if (rc == Z_BUF_ERROR && stream_.avail_in == 0)
                break;
        }
        return text;
    }

  private:
    z_stream stream_{};
    bool ok_ = false;
};

std::string unpackBytes(const char* data, size_t size) {
    if (size == 0 || data[0] != kMarker)
        return std::string(data, size);
    thread_local FastInflater fast;
    if (std::optional<std::string> text = fast.inflate(data + 1, size - 1))
        return std::move(*text);
    thread_local Inflater inflater;
    return inflater.inflate(data + 1, size - 1);
}

// Called by SQLite: nothing may be thrown back through it.
void unpackFunction(sqlite3_context* context, int, sqlite3_value** values) {
    try {
        auto* data = static_cast<const char*>(sqlite3_value_blob(values[0]));
        std::string text = unpackBytes(data, data ? size_t(sqlite3_value_bytes(values[0])) : 0);
        sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    } catch (...) {
        sqlite3_result_error_nomem(context);
    }
}

} // namespace

std::string packText(const std::string& text) {
    if (text.size() < kShortest)
        return text;
    thread_local Deflater deflater;
    std::string packed;
    if (!deflater.deflate(text, packed) || packed.size() >= text.size())
        return text;
    return packed;
}

std::string unpackText(const std::string& stored) {
    return unpackBytes(stored.data(), stored.size());
}

void registerPackedText(sqlite3* db) {
    sqlite3_create_function(db, "unpack_text", 1,
                            SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                            unpackFunction, nullptr, nullptr);
}

} // namespace kelvor::store
