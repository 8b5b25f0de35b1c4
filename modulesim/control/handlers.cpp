#include "handlers.h"

#include <cstring>

namespace vyrsim::control {

namespace {

struct Binding
{
    const char *name;
    Handler handler;
};

// Every row of the command table, by its name. The table itself names no
// handler: the vyrsim program shares it and must carry none of them.
constexpr Binding kBindings[] = {
    {"help", &handleHelp},
    {"status", &handleStatus},
    {"press", &handlePress},
    {"lift", &handleLift},
    {"image", &handleImage},
    {"autopilot", &handleAutopilot},
    {"attach", &handleAttach},
    {"detach", &handleDetach},
    {"delay", &handleDelay},
    {"password", &handlePassword},
    {"fail clear", &handleFailClear},
    {"fail", &handleFail},
    {"store list", &handleStoreList},
    {"store add", &handleStoreAdd},
    {"store delete", &handleStoreDelete},
    {"store clear", &handleStoreClear},
    {"store export", &handleStoreExport},
    {"store import", &handleStoreImport},
    {"log", &handleLog},
};

} // namespace

Handler handlerFor(const Verb &verb)
{
    for (const Binding &binding : kBindings)
        if (std::strcmp(binding.name, verb.name) == 0)
            return binding.handler;
    return nullptr;
}

std::string Request::usage() const
{
    return std::string("usage: ") + verb.name + " " + verb.arguments;
}

} // namespace vyrsim::control
