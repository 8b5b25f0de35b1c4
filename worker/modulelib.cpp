#include "modulelib.h"

#define VYR_POINTER(result, name, parameters, shapes) Q_##name name = nullptr;
VYR_ENTRY_POINTS(VYR_POINTER)
#undef VYR_POINTER
