#include "store/PackedText.h"

#include <sqlite3.h>
#include <zlib.h>

#include <memory>

namespace kelvor::store {
namespace {

constexpr char kMarker = '\xFF'; // never a byte of UTF-8

// Texts shorter than this rarely shrink by more than the stream's own bytes.
constexpr size_t kShortest = 96;

// One stream per thread, reset between texts: setting one up costs more
// than deflating a description. Its window and tables are small, as the
// texts are: a reset clears the tables, which at zlib's usual sizes cost
// more than the deflating itself.
class Deflater {
  public:
    Deflater() { ok_ = deflateInit2(&stream_, 1, Z_DEFLATED, -13, 6, Z_DEFAULT_STRATEGY) == Z_OK; }
    ~Deflater() {
        if (ok_)
            deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool deflate(const std::string& text, std::string& out) {
        if (!ok_ || deflateReset(&stream_) != Z_OK)
            return false;
        out.assign(1, kMarker);
        out.resize(1 + deflateBound(&stream_, static_cast<uLong>(text.size())));
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        stream_.avail_in = static_cast<uInt>(text.size());
        stream_.next_out = reinterpret_cast<Bytef*>(&out[1]);
        stream_.avail_out = static_cast<uInt>(out.size() - 1);
        if (::deflate(&stream_, Z_FINISH) != Z_STREAM_END)
            return false;
        out.resize(1 + stream_.total_out);
        return true;
    }

  private:
    z_stream stream_{};
    bool ok_ = false;
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
