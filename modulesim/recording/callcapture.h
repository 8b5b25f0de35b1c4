#ifndef RECORDING_CALLCAPTURE_H
#define RECORDING_CALLCAPTURE_H

// A call's arguments as the recorder takes them and the replay compares and
// answers them: each parameter is an int or a pointer, read and written as
// its shape says.

#include "recording.h"

#include <type_traits>
#include <vector>

namespace recording {

struct Param
{
    int value = 0;
    void *pointer = nullptr;
};

inline Param param(int value)
{
    return {value, nullptr};
}

template<typename T> Param param(T *pointer)
{
    return {0, const_cast<std::remove_const_t<T> *>(pointer)};
}

// What the call is given, before it runs: values, texts and the bytes it
// reads; outputs only as null or not.
std::vector<Argument> captureInputs(ShapeList shapes, const Param *params);

// Adds to `arguments` what the call wrote, once it returned.
void captureOutputs(ShapeList shapes, const Param *params, std::vector<Argument> &arguments);

// The first argument in which a call that came differs from the recorded
// one, or -1. A text is compared by its last path component, as folders
// differ between machines; bytes left out of the recording match any.
int firstDifference(const std::vector<Argument> &recorded, const std::vector<Argument> &came);

// Writes the recorded outputs through the pointers the call was given.
void writeOutputs(ShapeList shapes, const std::vector<Argument> &recorded, const Param *params);

} // namespace recording

#endif // RECORDING_CALLCAPTURE_H
