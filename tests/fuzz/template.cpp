// Template blocks, as VYRDownChar, store import and the store file's records
// hand them to decodeTemplate: a refused block yields nothing and leaves its
// bytes alone, an accepted one encodes back to exactly those bytes. Random
// bytes almost never carry their checksum, so each block is tried a second
// time with it made right, to reach the fields behind it.

#include "fuzzsupport.h"
#include "plumbing.h"
#include "templatecodec.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

void check(const std::vector<unsigned char> &block)
{
    const std::vector<unsigned char> before = block;
    const std::optional<vyrsim::Template> t
        = vyrsim::decodeTemplate(block.data(), int(block.size()));
    fuzz::require(block == before, "decoding leaves the block as it was");
    if (!t)
        return;
    const vyrsim::TemplateBytes again = vyrsim::encodeTemplate(*t);
    fuzz::require(std::equal(block.begin(), block.end(), again.begin(), again.end()),
                  "an accepted block encodes back to the same bytes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<unsigned char> block(data, data + size);
    check(block);
    if (block.size() == std::size_t(vyrsim::kTemplateBytes)) {
        constexpr int sealedBytes = vyrsim::kTemplateBytes - 4;
        vyrsim::putLe32(block.data() + sealedBytes, vyrsim::crc32(block.data(), sealedBytes));
        check(block);
    }
    return 0;
}
