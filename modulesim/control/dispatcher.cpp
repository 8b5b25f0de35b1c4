#include "dispatcher.h"

#include "commands.h"
#include "handlers.h"
#include "replies.h"

#include <optional>

namespace vyrsim::control {

std::string Dispatcher::reply(std::string_view line) const
{
    std::string error;
    const std::optional<Command> command = parseCommand(line, error);
    if (!command)
        return failure(error);
    const Handler handler = handlerFor(*command->verb);
    if (!handler)
        return failure(std::string("no handler for ") + command->verb->name);
    return handler({m_api, *command->verb, command->arguments});
}

} // namespace vyrsim::control
