#ifndef VYR_API_H
#define VYR_API_H

/*
 * The entry points of the fingerprint module library, as the simulated
 * module exports them, declared from their one list (vyr_entrypoints.h).
 */

#include "api/vyr_entrypoints.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VYR_API __attribute__((visibility("default")))

#define VYR_DECLARE_ENTRY(result, name, parameters, shapes) VYR_API result name parameters;
VYR_ENTRY_POINTS(VYR_DECLARE_ENTRY)
#undef VYR_DECLARE_ENTRY

#ifdef __cplusplus
}
#endif

#endif /* VYR_API_H */
