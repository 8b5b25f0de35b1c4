#ifndef PERSISTENTSTORE_H
#define PERSISTENTSTORE_H

#include "store.h"
#include "storefile.h"

#include <optional>
#include <string>

namespace vyrsim {

// The template store and the file that keeps it across runs. A change is
// made to a copy, the copy written to the file, and only then kept: the
// store in memory never holds what the file does not. No lock of its own;
// it lives inside the module's state. Board::changeStore and
// Board::useStore, which alone change it, hold the store's writer lock
// throughout, so that write() may run without the module's lock while
// readers go on under it.
class PersistentStore
{
public:
    // Keeps the store in the file at `path` from now on, reading what it
    // holds; null or empty keeps it in memory only. VYRSIM_ERR_FILE for a
    // file that was refused: the store then starts empty.
    int use(const char *path);

    const Store &store() const { return m_store; }
    // VYRSIM_OK when the ID holds a template, VYRSIM_ERR_BAD_ID outside the
    // store, VYRSIM_ERR_EMPTY when it is empty.
    int held(int id) const;
    // The file's path, or nothing for a store in memory only.
    std::optional<std::string> path() const;

    // Writes `next` to the file, after the store write gate; nothing to do
    // for a store in memory only. VYRSIM_OK, or VYRSIM_ERR_FILE.
    int write(const Store &next);
    // Keeps a store that write() accepted.
    void keep(Store next) { m_store = std::move(next); }

private:
    int load();

    Store m_store;
    std::optional<StoreFile> m_file; // none: the store lives in memory only
    bool m_failing = false; // said so on standard error already
};

} // namespace vyrsim

#endif // PERSISTENTSTORE_H
