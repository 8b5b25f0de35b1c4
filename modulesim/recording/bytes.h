#ifndef RECORDING_BYTES_H
#define RECORDING_BYTES_H

// Little-endian fields, for the recording's writer and reader.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace recording {

inline void put(std::vector<unsigned char> &out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

inline std::uint64_t get(const unsigned char *in, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint64_t(in[i]) << (8 * i);
    return value;
}

} // namespace recording

#endif // RECORDING_BYTES_H
