// Store files, as the module loads them at start-up with StoreFile::load: a
// refused file gives an empty store, says why and is kept aside byte for
// byte; an accepted one saves back to exactly the same bytes. A second pass
// makes every record's checksum and the file's right, to reach the records
// behind them.

#include "storefile.h"
#include "fuzzsupport.h"
#include "plumbing.h"
#include "templatecodec.h"

#include <cstdint>
#include <vector>

#include <unistd.h>

namespace {

// Where the header, notepad and records lie: storefile.h.
constexpr std::size_t kFirstRecord = 20 + 16 * 32;
constexpr std::size_t kRecordBytes = 4 + vyrsim::kTemplateBytes;

const fuzz::PrivateDir folder;

void check(const std::vector<unsigned char> &bytes)
{
    const std::string path = folder.file("store");
    folder.write("store", bytes.data(), bytes.size());
    vyrsim::StoreFile file(path);
    const vyrsim::StoreFile::Loaded loaded = file.load();
    if (!loaded.problem.empty()) {
        fuzz::require(loaded.store.count() == 0, "a refused file gives an empty store");
        fuzz::require(!loaded.keptAs.empty() && folder.read(loaded.keptAs) == bytes
                          && ::access(path.c_str(), F_OK) != 0,
                      "a refused file is moved aside unchanged");
        ::unlink(loaded.keptAs.c_str());
        return;
    }
    std::string error;
    fuzz::require(file.save(loaded.store, error) && folder.read(path) == bytes,
                  "an accepted file saves back to the same bytes");
}

void seal(std::vector<unsigned char> &bytes)
{
    constexpr int sealedBytes = vyrsim::kTemplateBytes - 4;
    for (std::size_t at = kFirstRecord + 4; at + vyrsim::kTemplateBytes + 4 <= bytes.size();
         at += kRecordBytes)
        vyrsim::putLe32(&bytes[at + sealedBytes], vyrsim::crc32(&bytes[at], sealedBytes));
    const std::size_t end = bytes.size() - 4;
    vyrsim::putLe32(&bytes[end], vyrsim::crc32(bytes.data(), int(end)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<unsigned char> bytes(data, data + size);
    check(bytes);
    if (bytes.size() >= kFirstRecord + 4) {
        seal(bytes);
        check(bytes);
    }
    return 0;
}
