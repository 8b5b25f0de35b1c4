#ifndef RECORDING_RECORDINGREADER_H
#define RECORDING_RECORDINGREADER_H

// Reads a recording whole, and takes it only when every byte of it is as
// the format says: a damaged, truncated or hostile file is refused with the
// reason and where, never half read.

#include "recording.h"

#include <optional>
#include <string>
#include <vector>

namespace recording {

// Files above this are refused before they are read.
constexpr std::uint64_t kMaxRecordingBytes = std::uint64_t(2) << 30;

std::optional<Recording> parseRecording(const unsigned char *data, std::size_t size,
                                        std::string &error);
std::optional<Recording> readRecording(const std::string &path, std::string &error);

} // namespace recording

#endif // RECORDING_RECORDINGREADER_H
