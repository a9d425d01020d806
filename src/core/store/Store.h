// kelvor.db in the home folder: the full-text index of every tree file and
// the read marks. The tree files stay the truth; everything here but the
// marks can be rebuilt from them at any time.
//
// One Store is one connection and belongs to one thread at a time; the
// window's connection and an indexing thread's may work on the same file.
#pragma once

#include "store/Database.h"
#include "store/Schema.h"

#include <memory>
#include <string>

namespace kelvor::store {

class Store {
  public:
    // Opens (creating, upgrading or rebuilding) home + "/kelvor.db". Throws
    // StoreError when the home folder cannot hold a database at all.
    explicit Store(const std::string& home);

    const std::string& home() const { return home_; }
    Database& db() { return *db_; }
    OpenOutcome outcome() const { return outcome_; }

    // Set while the program closes. indexFile then keeps only what read
    // marks need (the channel and its entry keys) and leaves the text to the
    // next full update, which reads such a file again: a close must not wait
    // for the index of every download that arrived just before it.
    void setClosing(bool closing) { closing_ = closing; }
    bool closing() const { return closing_; }

    static std::string pathFor(const std::string& home) { return home + "/kelvor.db"; }

  private:
    std::string home_;
    OpenOutcome outcome_ = OpenOutcome::Opened;
    bool closing_ = false;
    std::unique_ptr<Database> db_;
};

} // namespace kelvor::store
