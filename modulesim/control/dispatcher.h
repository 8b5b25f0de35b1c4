#ifndef DISPATCHER_H
#define DISPATCHER_H

#include "vyrsim.h"

#include <string>
#include <string_view>

namespace vyrsim::control {

// The calls through which the control channel acts on the module: by
// default exactly those that vyrsim.h exports, so that the channel holds no
// logic of the module's own. A test puts recorders in their place.
struct ControlApi
{
    decltype(&vyrsim_set_attached) setAttached = &vyrsim_set_attached;
    decltype(&vyrsim_set_delay_ms) setDelayMs = &vyrsim_set_delay_ms;
    decltype(&vyrsim_set_password) setPassword = &vyrsim_set_password;
    decltype(&vyrsim_set_autopilot) setAutopilot = &vyrsim_set_autopilot;
    decltype(&vyrsim_set_autopilot_finger) setAutopilotFinger = &vyrsim_set_autopilot_finger;
    decltype(&vyrsim_capacity) capacity = &vyrsim_capacity;
    decltype(&vyrsim_set_finger) setFinger = &vyrsim_set_finger;
    decltype(&vyrsim_place_image) placeImage = &vyrsim_place_image;
    decltype(&vyrsim_store) store = &vyrsim_store;
    decltype(&vyrsim_stored) stored = &vyrsim_stored;
    decltype(&vyrsim_store_delete) storeDelete = &vyrsim_store_delete;
    decltype(&vyrsim_store_clear) storeClear = &vyrsim_store_clear;
    decltype(&vyrsim_store_export) storeExport = &vyrsim_store_export;
    decltype(&vyrsim_store_import) storeImport = &vyrsim_store_import;
    decltype(&vyrsim_fail) fail = &vyrsim_fail;
    decltype(&vyrsim_fail_clear) failClear = &vyrsim_fail_clear;
    decltype(&vyrsim_log_size) logSize = &vyrsim_log_size;
    decltype(&vyrsim_log_entry) logEntry = &vyrsim_log_entry;
    decltype(&vyrsim_status) status = &vyrsim_status;
};

// Answers command lines (commands.h) by calls of a ControlApi. Holds no
// state and no lock: the listener calls it between socket reads and writes.
class Dispatcher
{
public:
    explicit Dispatcher(const ControlApi &api = {})
        : m_api(api)
    { }

    // The whole reply to one line, each of its lines ending in '\n'.
    std::string reply(std::string_view line) const;

private:
    ControlApi m_api;
};

} // namespace vyrsim::control

#endif // DISPATCHER_H
