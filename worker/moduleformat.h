#ifndef MODULEFORMAT_H
#define MODULEFORMAT_H

// The sizes of what the module hands over, for the worker that takes it and
// the window that shows it.

constexpr int kImageWidth = 256;
constexpr int kImageHeight = 288;
constexpr int kImageBufferBytes = 92160; // room for 256 x 360
constexpr int kIndexBytes = 512; // one bit per template ID, IDs 0 to 4095
constexpr int kParTableBytes = 16;
constexpr int kNotepadPages = 16;
constexpr int kNotepadPageBytes = 32;

#endif // MODULEFORMAT_H
