#ifndef STOREFILE_H
#define STOREFILE_H

// The store kept in one file across runs, as a module keeps its flash. The
// file, little-endian:
//
//   offset      size  field
//        0         8  magic "VYRSTORE"
//        8         4  layout version, 1
//       12         4  capacity: IDs 0 to capacity - 1, 1 to 1024
//       16         4  template count n
//       20       512  the notepad: 16 pages of 32 bytes
//      532    516 n   n records in ascending ID order:
//                       ID        uint32
//                       template  512 bytes, as templates/templatecodec.h lays it out
//   532 + 516 n    4  CRC-32 (IEEE 802.3) of every byte before it
//
// A file is trusted only whole: the size must be exactly 536 + 516 n, the
// checksum right, every ID inside the capacity and every template block
// sound. Anything else is refused and the file kept aside, never deleted.

#include "store.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vyrsim {

std::vector<unsigned char> serializeStore(const Store &store);
// The store the bytes hold, or nothing with `problem` saying what is wrong.
std::optional<Store> parseStore(const unsigned char *data, std::size_t size, std::string &problem);

class StoreFile
{
public:
    explicit StoreFile(std::string path);

    const std::string &path() const { return m_path; }

    struct Loaded
    {
        Store store;
        std::string problem; // empty when the file was sound or absent
        std::string keptAs; // where a refused file now lies; empty when it could not be moved
    };
    // Reads the file: an absent file is an empty store. A file that cannot
    // be read, or is refused, gives an empty store; a refused file is renamed
    // aside. Should either fail, later saves are refused too, so that
    // nothing overwrites what could not be read.
    Loaded load();

    // Replaces the file by one holding `store`, atomically: a process killed
    // at any moment leaves the old file or the new one. False, with `error`
    // saying why, when it could not.
    bool save(const Store &store, std::string &error);

    // The two halves of save: the store written and flushed to a temporary
    // file beside the store file, then that file renamed over it.
    bool writeTemporary(const Store &store, std::string &error);
    bool replaceByTemporary(std::string &error);
    std::string temporaryPath() const;

    // The file to use when VYRSIM_STORE does not say: under $XDG_DATA_HOME,
    // or ~/.local/share. Empty when neither is known.
    static std::string defaultPath();

private:
    void removeDeadTemporaries() const;

    std::string m_path;
    std::string m_refusal; // why saves are refused; empty when they are not
};

} // namespace vyrsim

#endif // STOREFILE_H
