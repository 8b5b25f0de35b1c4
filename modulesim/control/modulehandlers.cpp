#include "handlers.h"

#include "dispatcher.h"
#include "imagefile.h"
#include "replies.h"

#include <algorithm>
#include <cctype>

namespace vyrsim::control {

namespace {

constexpr int kMaxPlacedSide = 4096; // vyrsim_place_image takes no more
constexpr int kMaxDelayMs = 60000;
constexpr int kDefaultLogLines = 10;

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

// The text a call copies into a buffer of `room` bytes, asked once more with
// room enough when it did not fit; nothing when the call refuses.
template<typename Copy> std::optional<std::string> copiedText(std::size_t room, Copy copy)
{
    std::string text(room, '\0');
    int length = copy(text.data(), int(text.size()));
    if (length >= int(text.size())) {
        text.resize(std::size_t(length) + 1);
        length = copy(text.data(), int(text.size()));
    }
    if (length < 0)
        return std::nullopt;
    text.resize(std::size_t(length));
    return text;
}

} // namespace

std::string handleHelp(const Request &)
{
    return list(std::to_string(commandTable().size()) + " commands", helpLines());
}

std::string handleStatus(const Request &request)
{
    const auto status = request.api.status;
    return ok(copiedText(512, [&](char *out, int size) {
                  return status(out, size);
              }).value_or(std::string()));
}

std::string handlePress(const Request &request)
{
    const std::vector<std::string> &args = request.args;
    const std::optional<int> finger
        = args.empty() ? std::optional<int>(1) : number(args[0], 1, kMaxFinger);
    if (!finger)
        return failure("FINGER must be a number from 1; " + request.usage());
    request.api.setAutopilot(0);
    request.api.setFinger(*finger);
    return ok("finger " + std::to_string(*finger) + " lies on the sensor");
}

std::string handleLift(const Request &request)
{
    request.api.setAutopilot(0);
    request.api.setFinger(0);
    return ok("nothing lies on the sensor");
}

std::string handleImage(const Request &request)
{
    std::string error;
    std::optional<GreyPicture> picture = readGreyPicture(request.args[0], error);
    if (!picture)
        return failure(error);
    const GreyPicture placed = centreCrop(*picture);
    if (request.api.placeImage(placed.pixels.data(), placed.width, placed.height) != VYRSIM_OK)
        return failure("the module refused the image");
    return ok("the " + std::to_string(picture->width) + " x " + std::to_string(picture->height)
              + " image lies on the sensor");
}

std::string handleAutopilot(const Request &request)
{
    const std::string &mode = request.args[0];
    if (mode == "off") {
        request.api.setAutopilot(0);
        return ok("the autopilot is off");
    }
    const std::optional<int> finger = mode == "on" ? std::nullopt : number(mode, 1, kMaxFinger);
    if (mode != "on" && !finger)
        return failure("say on, off or a finger from 1; " + request.usage());
    if (finger)
        request.api.setAutopilotFinger(*finger);
    request.api.setFinger(0); // the operator's hand replaces whatever lay there
    request.api.setAutopilot(1);
    // "on" keeps whichever finger the autopilot pressed before, which the
    // channel cannot ask for; a finger given is named back.
    return ok(finger ? "the autopilot is on, pressing finger " + std::to_string(*finger)
                     : std::string("the autopilot is on"));
}

std::string handleAttach(const Request &request)
{
    request.api.setAttached(1);
    return ok("the module is attached");
}

std::string handleDetach(const Request &request)
{
    request.api.setAttached(0);
    return ok("the module is detached");
}

std::string handleDelay(const Request &request)
{
    const std::optional<int> ms = number(request.args[0], 0, kMaxDelayMs);
    if (!ms)
        return failure("MS must be a number from 0 to " + std::to_string(kMaxDelayMs));
    request.api.setDelayMs(*ms);
    return ok("image requests and uploads take " + std::to_string(*ms) + " ms");
}

std::string handlePassword(const Request &request)
{
    const std::string &hex = request.args[0];
    unsigned char password[4] = {};
    const auto digit = [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    };
    if (hex.size() != 8 || !std::all_of(hex.begin(), hex.end(), digit))
        return failure("HEX must be 8 hex digits, as 0000ABCD");
    for (int i = 0; i < 4; ++i)
        password[i] = static_cast<unsigned char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    request.api.setPassword(password);
    return ok("the password is " + hex);
}

std::string handleFailClear(const Request &request)
{
    request.api.failClear();
    return ok("no fault is armed");
}

std::string handleFail(const Request &request)
{
    const std::vector<std::string> &args = request.args;
    const std::optional<int> code
        = args.size() > 1 ? number(args[1], -1000000, 1000000) : std::optional<int>(1);
    if (!code || *code == 0)
        return failure("CODE must be a number other than 0; " + request.usage());
    // Without a count the fault stays, as a broken part would, until fail clear.
    const bool every = args.size() < 3 || args[2] == "all";
    const std::optional<int> count = every ? std::optional<int>(-1) : number(args[2], 1, 1000000);
    if (!count)
        return failure("COUNT must be a number from 1, or all; " + request.usage());
    if (request.api.fail(args[0].c_str(), 1, every ? -1 : *count, *code) != 0)
        return failure("no entry point is called " + args[0]);
    const std::string calls = every ? "every call"
        : *count == 1               ? "the next call"
                                    : "the next " + std::to_string(*count) + " calls";
    return ok(calls + " of " + args[0] + (every || *count == 1 ? " fails" : " fail") + " with "
              + std::to_string(*code));
}

std::string handleLog(const Request &request)
{
    const std::optional<int> wanted = request.args.empty() ? std::optional<int>(kDefaultLogLines)
                                                           : number(request.args[0], 0, 1 << 30);
    if (!wanted)
        return failure("N must be a number from 0; " + request.usage());
    const auto logEntry = request.api.logEntry;
    const int size = request.api.logSize();
    std::vector<std::string> lines;
    for (int i = std::max(0, size - *wanted); i < size; ++i) {
        std::optional<std::string> entry
            = copiedText(256, [&](char *out, int room) { return logEntry(i, out, room); });
        if (!entry)
            break;
        lines.push_back(std::move(*entry));
    }
    return list(std::to_string(lines.size()) + " of " + std::to_string(size) + " calls", lines);
}

} // namespace vyrsim::control
