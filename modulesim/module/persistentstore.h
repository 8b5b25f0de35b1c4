#ifndef PERSISTENTSTORE_H
#define PERSISTENTSTORE_H

#include "store.h"
#include "storefile.h"

#include <functional>
#include <optional>
#include <string>

namespace vyrsim {

// The template store and the file that keeps it across runs. A change is
// made to a copy, the copy written to the file, and only then kept: the
// store in memory never holds what the file does not. No lock of its own;
// it lives inside the module's state, under the module's lock.
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

    // Applies `edit` to a copy of the store and keeps it once it is written:
    // VYRSIM_OK, or VYRSIM_ERR_FILE with the store unchanged.
    int change(const std::function<void(Store &)> &edit);

private:
    int load();

    Store m_store;
    std::optional<StoreFile> m_file; // none: the store lives in memory only
    bool m_failing = false; // said so on standard error already
};

} // namespace vyrsim

#endif // PERSISTENTSTORE_H
