#include "store/Database.h"

#include "platform/Log.h"
#include "store/CharacterPairs.h"
#include "store/IndexTerms.h"
#include "store/PackedText.h"
#include "store/QuickTokenizer.h"
#include "store/TermRank.h"

#include <sqlite3.h>

namespace kelvor::store {
namespace {

[[noreturn]] void fail(sqlite3* db, int code) {
    throw StoreError(code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

int primary(int code) {
    return code & 0xff;
}

// A path as the file name of a URI: the characters that end or escape its
// parts written as %XX.
std::string uriOf(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri;
}

} // namespace

bool StoreError::damaged() const {
    return primary(code_) == SQLITE_CORRUPT || primary(code_) == SQLITE_NOTADB;
}

bool StoreError::diskFull() const {
    return primary(code_) == SQLITE_FULL;
}

bool StoreError::ofTheWholeStore() const {
    switch (primary(code_)) {
    case SQLITE_TOOBIG:
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
        return false;
    default:
        return true;
    }
}

Database::Database(const std::string& path, Access access) {
    // Memory statistics cost every allocation a global lock; nothing reads them.
    static const int unused = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)unused;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    std::string name = path;
    const char* vfs = nullptr;
    if (access == Access::ReadOnly) {
        flags = SQLITE_OPEN_READONLY;
    } else if (access == Access::Untouched) {
        // Even a read-only connection makes the log's index file beside the
        // database, and root may make it anywhere.
        flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
        name = uriOf(path) + "?immutable=1";
    } else if (access == Access::Memory) {
        vfs = "memdb"; // a name starting with "/" is shared within the process
    }
    int rc = sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, vfs);
    if (rc != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError(rc, message);
    }
    // The window's connection and the indexing thread's share the file.
    sqlite3_busy_timeout(db_, 10000);
    registerCharacterPairs(db_);
    registerTermRank(db_);
    registerPackedText(db_);
    registerQuickTokenizer(db_);
    registerIndexTerms(db_);
}

Database::~Database() {
    sqlite3_close_v2(db_);
}

void Database::exec(const std::string& sql) {
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(db_, rc);
}

int64_t Database::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int Database::changes() const {
    return sqlite3_changes(db_);
}

Statement::Statement(const Database& db, const char* sql) : db_(db.handle()) {
    int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt_, nullptr);
    if (rc != SQLITE_OK)
        fail(db_, rc);
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::bind(int index, const std::string& value) {
    int rc = sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        fail(db_, rc);
    return *this;
}

Statement& Statement::bindBlob(int index, const std::string& value) {
    int rc = sqlite3_bind_blob(stmt_, index, value.data(), static_cast<int>(value.size()),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        fail(db_, rc);
    return *this;
}

Statement& Statement::bindPointer(int index, void* pointer, const char* type) {
    int rc = sqlite3_bind_pointer(stmt_, index, pointer, type, nullptr);
    if (rc != SQLITE_OK)
        fail(db_, rc);
    return *this;
}

Statement& Statement::bind(int index, int64_t value) {
    int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK)
        fail(db_, rc);
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(db_, rc);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string Statement::text(int column) const {
    auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return bytes ? std::string(bytes, sqlite3_column_bytes(stmt_, column)) : std::string();
}

std::string_view Statement::textView(int column) const {
    auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return bytes ? std::string_view(bytes, size_t(sqlite3_column_bytes(stmt_, column)))
                 : std::string_view();
}

int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double Statement::real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

// Inside a transaction already (a batch of files), a savepoint: its rollback
// undoes only its own part.
Transaction::Transaction(Database& db)
    : db_(db), nested_(sqlite3_get_autocommit(db.handle()) == 0) {
    db_.exec(nested_ ? "SAVEPOINT nested" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (!done_) {
        try {
            db_.exec(nested_ ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
        } catch (...) {
            // Nothing to undo when the failure already ended the transaction.
            platform::logCurrentFailure("rolling back");
        }
    }
}

void Transaction::commit() {
    db_.exec(nested_ ? "RELEASE nested" : "COMMIT");
    done_ = true;
}

ReadTransaction::ReadTransaction(Database& db)
    : db_(db), own_(sqlite3_get_autocommit(db.handle()) != 0) {
    if (own_)
        db_.exec("BEGIN");
}

ReadTransaction::~ReadTransaction() {
    // Ending a transaction that wrote nothing gives nothing up; a failure
    // has already ended it.
    if (own_ && sqlite3_get_autocommit(db_.handle()) == 0)
        sqlite3_exec(db_.handle(), "COMMIT", nullptr, nullptr, nullptr);
}

} // namespace kelvor::store
