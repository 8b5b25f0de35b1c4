#include "dispatcher.h"

#include "commands.h"
#include "imagefile.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

namespace vyrsim::control {

namespace {

constexpr int kTemplateBlockBytes = 512;
constexpr int kMaxPlacedSide = 4096; // vyrsim_place_image takes no more
constexpr int kMaxFinger = 1000000;
constexpr int kMaxDelayMs = 60000;
constexpr int kDefaultLogLines = 10;

std::optional<int> number(const std::string &text, int low, int high)
{
    int value = 0;
    const char *end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string ok(const std::string &text)
{
    return "ok " + text + "\n";
}

std::string failure(const std::string &text)
{
    return "error: " + text + "\n";
}

std::string list(const std::string &text, const std::vector<std::string> &lines)
{
    std::string reply = ok(text);
    for (const std::string &line : lines)
        reply += line + "\n";
    return reply + "\n";
}

// The centre of a picture larger than the module takes; the sensor would
// crop it to its own centre anyway.
GreyPicture centreCrop(const GreyPicture &picture)
{
    const int width = std::min(picture.width, kMaxPlacedSide);
    const int height = std::min(picture.height, kMaxPlacedSide);
    if (width == picture.width && height == picture.height)
        return picture;
    GreyPicture crop {width, height, std::vector<unsigned char>(std::size_t(width) * height)};
    const int left = (picture.width - width) / 2;
    const int top = (picture.height - height) / 2;
    for (int y = 0; y < height; ++y)
        std::copy_n(picture.pixels.begin()
                        + long(std::size_t(y + top) * std::size_t(picture.width) + left),
                    width, crop.pixels.begin() + long(std::size_t(y) * std::size_t(width)));
    return crop;
}

} // namespace

std::string Dispatcher::reply(std::string_view line) const
{
    std::string error;
    const std::optional<Command> command = parseCommand(line, error);
    if (!command)
        return failure(error);
    const std::vector<std::string> &args = command->arguments;
    const std::string usage
        = std::string("usage: ") + command->verb->name + " " + command->verb->arguments;
    const CommandId which = command->verb->id;
    const bool onStore = which >= CommandId::StoreList && which <= CommandId::StoreImport;
    const int capacity = onStore ? m_api.capacity() : 0;
    const std::string idRange = "an ID from 0 to " + std::to_string(capacity - 1);

    // What a store call's code means for the ID it was given.
    const auto storeResult = [&](int code, int id, const std::string &done) {
        switch (code) {
        case VYRSIM_OK:
            return ok(done);
        case VYRSIM_ERR_BAD_ID:
            return failure("ID " + std::to_string(id) + " is outside the store; " + idRange);
        case VYRSIM_ERR_EMPTY:
            return failure("ID " + std::to_string(id) + " holds no template");
        case VYRSIM_ERR_FILE:
            return failure("the store file cannot be written; the store is unchanged");
        default:
            return failure("the module answered " + std::to_string(code));
        }
    };

    switch (which) {
    case CommandId::Help:
        return list(std::to_string(commandTable().size()) + " commands", helpLines());

    case CommandId::Status: {
        std::string text(512, '\0');
        int length = m_api.status(text.data(), int(text.size()));
        if (length >= int(text.size())) {
            text.resize(std::size_t(length) + 1);
            length = m_api.status(text.data(), int(text.size()));
        }
        text.resize(std::size_t(std::max(0, length)));
        return ok(text);
    }

    case CommandId::Press: {
        const std::optional<int> finger
            = args.empty() ? std::optional<int>(1) : number(args[0], 1, kMaxFinger);
        if (!finger)
            return failure("FINGER must be a number from 1; " + usage);
        m_api.setAutopilot(0);
        m_api.setFinger(*finger);
        return ok("finger " + std::to_string(*finger) + " lies on the sensor");
    }

    case CommandId::Lift:
        m_api.setAutopilot(0);
        m_api.setFinger(0);
        return ok("nothing lies on the sensor");

    case CommandId::Image: {
        std::optional<GreyPicture> picture = readGreyPicture(args[0], error);
        if (!picture)
            return failure(error);
        const GreyPicture placed = centreCrop(*picture);
        if (m_api.placeImage(placed.pixels.data(), placed.width, placed.height) != VYRSIM_OK)
            return failure("the module refused the image");
        return ok("the " + std::to_string(picture->width) + " x " + std::to_string(picture->height)
                  + " image lies on the sensor");
    }

    case CommandId::Autopilot:
        if (args[0] == "off") {
            m_api.setAutopilot(0);
            return ok("the autopilot is off");
        }
        if (args[0] != "on") {
            const std::optional<int> finger = number(args[0], 1, kMaxFinger);
            if (!finger)
                return failure("say on, off or a finger from 1; " + usage);
            m_api.setAutopilotFinger(*finger);
        }
        m_api.setFinger(0); // the operator's hand replaces whatever lay there
        m_api.setAutopilot(1);
        return ok("the autopilot is on");

    case CommandId::Attach:
        m_api.setAttached(1);
        return ok("the module is attached");

    case CommandId::Detach:
        m_api.setAttached(0);
        return ok("the module is detached");

    case CommandId::Delay: {
        const std::optional<int> ms = number(args[0], 0, kMaxDelayMs);
        if (!ms)
            return failure("MS must be a number from 0 to " + std::to_string(kMaxDelayMs));
        m_api.setDelayMs(*ms);
        return ok("image requests and uploads take " + std::to_string(*ms) + " ms");
    }

    case CommandId::FailClear:
        m_api.failClear();
        return ok("no fault is armed");

    case CommandId::Fail: {
        const std::optional<int> code
            = args.size() > 1 ? number(args[1], -1000000, 1000000) : std::optional<int>(1);
        if (!code || *code == 0)
            return failure("CODE must be a number other than 0; " + usage);
        // Without a count the fault stays, as a broken part would, until fail clear.
        const bool every = args.size() < 3 || args[2] == "all";
        const std::optional<int> count
            = every ? std::optional<int>(-1) : number(args[2], 1, 1000000);
        if (!count)
            return failure("COUNT must be a number from 1, or all; " + usage);
        if (m_api.fail(args[0].c_str(), 1, every ? -1 : *count, *code) != 0)
            return failure("no entry point is called " + args[0]);
        const std::string calls = every ? "every call"
            : *count == 1               ? "the next call"
                                        : "the next " + std::to_string(*count) + " calls";
        return ok(calls + " of " + args[0] + (every || *count == 1 ? " fails" : " fail") + " with "
                  + std::to_string(*code));
    }

    case CommandId::StoreList: {
        std::vector<std::string> ids;
        for (int id = 0; id < capacity; ++id)
            if (m_api.stored(id) == 1)
                ids.push_back(std::to_string(id));
        return list(std::to_string(ids.size()) + " of " + std::to_string(capacity)
                        + " IDs hold a template",
                    ids);
    }

    case CommandId::StoreAdd: {
        const std::optional<int> id = number(args[0], 0, capacity - 1);
        const std::optional<int> finger = number(args[1], 1, kMaxFinger);
        if (!id || !finger)
            return failure("say " + idRange + " and a finger from 1");
        return storeResult(m_api.store(*id, *finger), *id,
                           "finger " + args[1] + " is stored under ID " + args[0]);
    }

    case CommandId::StoreDelete: {
        const std::optional<int> id = number(args[0], 0, capacity - 1);
        if (!id)
            return failure("say " + idRange);
        return storeResult(m_api.storeDelete(*id), *id, "ID " + args[0] + " is empty");
    }

    case CommandId::StoreClear:
        return storeResult(m_api.storeClear(), 0, "the store is empty");

    case CommandId::StoreExport: {
        const std::optional<int> id = number(args[0], 0, capacity - 1);
        if (!id)
            return failure("say " + idRange);
        unsigned char block[kTemplateBlockBytes];
        const int code = m_api.storeExport(*id, block);
        if (code != VYRSIM_OK)
            return storeResult(code, *id, "");
        if (!writeFileBytes(args[1], block, sizeof block, error))
            return failure(error);
        return ok("the template under ID " + args[0] + " is in " + args[1]);
    }

    case CommandId::StoreImport: {
        const std::optional<int> id = number(args[0], 0, capacity - 1);
        if (!id)
            return failure("say " + idRange);
        std::vector<unsigned char> block;
        // Any size is read, so that a wrong file is named as such below.
        if (!readFileBytes(args[1], 1 << 20, block, error))
            return failure(error);
        const int code = m_api.storeImport(*id, block.data(), int(block.size()));
        if (code == VYRSIM_ERR_TEMPLATE)
            return failure(args[1] + " is no template block: short, damaged or foreign");
        return storeResult(code, *id,
                           "the template in " + args[1] + " is stored under ID " + args[0]);
    }

    case CommandId::Log: {
        const std::optional<int> wanted
            = args.empty() ? std::optional<int>(kDefaultLogLines) : number(args[0], 0, 1 << 30);
        if (!wanted)
            return failure("N must be a number from 0; " + usage);
        const int size = m_api.logSize();
        std::vector<std::string> lines;
        for (int i = std::max(0, size - *wanted); i < size; ++i) {
            std::string entry(256, '\0');
            int length = m_api.logEntry(i, entry.data(), int(entry.size()));
            if (length >= int(entry.size())) {
                entry.resize(std::size_t(length) + 1);
                length = m_api.logEntry(i, entry.data(), int(entry.size()));
            }
            if (length < 0)
                break;
            entry.resize(std::size_t(length));
            lines.push_back(entry);
        }
        return list(std::to_string(lines.size()) + " of " + std::to_string(size) + " calls", lines);
    }
    }
    return failure("unknown command");
}

} // namespace vyrsim::control
