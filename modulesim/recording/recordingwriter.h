#ifndef RECORDING_RECORDINGWRITER_H
#define RECORDING_RECORDINGWRITER_H

// Writes a recording as it goes: the header when opened, then each call as
// one record in one write, so that a process killed between calls leaves
// every call it completed.

#include "recording.h"

#include <string>
#include <vector>

namespace recording {

class RecordingWriter
{
public:
    RecordingWriter() = default;
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter &) = delete;
    RecordingWriter &operator=(const RecordingWriter &) = delete;

    // Creates or empties `path`; false with `error` saying why.
    bool open(const std::string &path, std::uint16_t flags, const std::string &about,
              std::string &error);
    // Frames are deflated, a frame equal to the last one is stored as a
    // reference to it, and frames or templates are left out as the flags
    // say. Arguments may come raw or as a reader gave them.
    bool write(const Call &call, std::string &error);
    void close();

private:
    bool writeAll(const std::vector<unsigned char> &bytes, std::string &error);
    void appendArgument(std::vector<unsigned char> &body, const Argument &a);

    int m_fd = -1;
    std::uint16_t m_flags = 0;
    std::vector<unsigned char> m_lastFrame;
    bool m_haveLastFrame = false;
};

} // namespace recording

#endif // RECORDING_RECORDINGWRITER_H
