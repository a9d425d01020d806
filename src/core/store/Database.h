// A thin RAII layer over one SQLite connection and its prepared statements.
// Every failure throws StoreError, so callers decide in one place whether a
// damaged database is rebuilt or a single write is given up.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace kelvor::store {

class StoreError : public std::runtime_error {
  public:
    StoreError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }
    // SQLite's own verdict that the file is damaged or is no database: the
    // only reason to move a store aside.
    bool damaged() const;
    // The disk is full. The store stays as it is; what was indexed can
    // still be searched.
    bool diskFull() const;
    // A failure of the whole store (the disk, the file, a lock), not of the
    // one statement or file being written.
    bool ofTheWholeStore() const;

  private:
    int code_;
};

// How a Database reaches its file.
enum class Access {
    ReadWrite, // created when missing
    ReadOnly,
    // Read where nothing may be written, not even a lock or a log: a
    // read-only home. What a log beside the file holds is not seen.
    Untouched,
    // A database in memory, shared by every connection of this process that
    // names the same path.
    Memory,
};

class Database {
  public:
    // Opens the file; throws StoreError.
    explicit Database(const std::string& path, Access access = Access::ReadWrite);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const std::string& sql);
    // Rows the last INSERT, UPDATE or DELETE touched.
    int changes() const;
    // The rowid of the last row inserted on this connection.
    int64_t lastInsertId() const;
    sqlite3* handle() const { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

class Statement {
  public:
    Statement(const Database& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const std::string& value);
    Statement& bind(int index, int64_t value);
    // Bytes that are no text (a packed one, see PackedText.h).
    Statement& bindBlob(int index, const std::string& value);
    // A pointer only functions that know `type` can see (sqlite3_bind_pointer).
    Statement& bindPointer(int index, void* pointer, const char* type);
    // True while a row is available.
    bool step();
    void reset();
    std::string text(int column) const;
    // The same without a copy, valid until the next step or reset.
    std::string_view textView(int column) const;
    int64_t integer(int column) const;
    double real(int column) const;

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Commits at commit(); rolls back when destroyed without one. Nests.
class Transaction {
  public:
    explicit Transaction(Database& db);
    ~Transaction();
    void commit();

  private:
    Database& db_;
    bool nested_;
    bool done_ = false;
};

// Several reads from one snapshot: they agree with each other, and the log's
// read lock is taken once for all of them rather than at every statement.
// Inside a transaction already, it is that one's snapshot.
class ReadTransaction {
  public:
    explicit ReadTransaction(Database& db);
    ~ReadTransaction();
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

  private:
    Database& db_;
    bool own_;
};

} // namespace kelvor::store
