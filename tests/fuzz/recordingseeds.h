#ifndef RECORDINGSEEDS_H
#define RECORDINGSEEDS_H

#include <string>

// Writes the recording target's seeds into `folder` (made already) with the
// recording's own writer: a call of every entry point, each argument of its
// kind, and a frame twice, so stored once; and the same with frames and
// templates left out.
void writeRecordingSeeds(const std::string &folder);

#endif // RECORDINGSEEDS_H
