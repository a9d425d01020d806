// kelvor.db in the home folder: the full-text index of every tree file and
// the read marks. The tree files stay the truth; everything here but the
// marks can be rebuilt from them at any time.
//
// One Store is one connection and belongs to one thread at a time; the
// window's connection and an indexing thread's may work on the same file.
#pragma once

#include "store/Database.h"
#include "store/RankKeys.h"
#include "store/Schema.h"

#include <memory>
#include <string>

namespace kelvor::store {

class Store {
  public:
    // Opens (creating, upgrading or rebuilding) home + "/kelvor.db". In a
    // home that must not be written (a read-only folder or kelvor.db, a
    // read-only mount) the index is made in memory instead. Throws
    // StoreError when no database can be had: the disk is full or fails.
    explicit Store(const std::string& home);

    const std::string& home() const { return home_; }
    Database& db() { return *db_; }
    OpenOutcome outcome() const { return outcome_; }
    // The home must not be written: the index lives in memory, as long as
    // a connection of this process is open, and marks set are not kept.
    bool inMemory() const { return inMemory_; }

    // After SQLite found the database damaged: moves it aside (unless
    // another connection already has) and opens the new one, which holds
    // the marks that could still be read and fills from the files on the
    // next update (see repairing). Throws StoreError when that fails too.
    void recover();
    // Another connection has recovered the file since this one opened it:
    // what this one writes would be lost, so it must be opened again.
    bool replaced() const;

    // Set while the program closes. indexFile then keeps only what read
    // marks need (the channel and its entry keys) and leaves the text to the
    // next full update, which reads such a file again: a close must not wait
    // for the index of every download that arrived just before it.
    void setClosing(bool closing) { closing_ = closing; }
    bool closing() const { return closing_; }

    // What ranking reads of the items' matches (see RankKeys.h).
    RankKeys& rankKeys() { return *rankKeys_; }

    static std::string pathFor(const std::string& home) { return home + "/kelvor.db"; }

  private:
    void take(OpenedSchema opened);

    std::string home_;
    OpenOutcome outcome_ = OpenOutcome::Opened;
    bool closing_ = false;
    bool inMemory_ = false;
    FileIdentity file_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<RankKeys> rankKeys_ = std::make_unique<RankKeys>(kItemTables.keys);
};

} // namespace kelvor::store
