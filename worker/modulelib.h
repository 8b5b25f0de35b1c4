#ifndef MODULELIB_H
#define MODULELIB_H

// The module library's entry points, bound by SThread::Loadso(), one
// pointer of type Q_<name> for each entry of the list the stand-in exports
// from too (vyr_entrypoints.h). Each pointer is named like the symbol it is
// bound to and stays null when the library lacks that symbol; a null
// pointer is never called.

#include "vyr_entrypoints.h"

#define VYR_POINTER_TYPE(result, name, parameters, shapes)                                         \
    typedef result(*Q_##name) parameters;                                                          \
    extern Q_##name name;
VYR_ENTRY_POINTS(VYR_POINTER_TYPE)
#undef VYR_POINTER_TYPE

#endif // MODULELIB_H
