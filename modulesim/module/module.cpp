#include "module.h"

#include "vyrsim_codes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vyrsim {

namespace {

constexpr int kMaxDelayMs = 60000; // as the channel's delay command allows

// The variable's number, when it is set to one inside [low, high]. A value
// that is set but no such number is named on standard error with what is
// used instead: a person who mistyped it learns so.
int envInt(const char *name, int fallback, int low, int high, const char *instead)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return fallback;
    char *end = nullptr;
    errno = 0;
    const long parsed = std::strtol(value, &end, 10);
    if (*end || end == value || errno == ERANGE || parsed < low || parsed > high) {
        if (low == 0 && high == 1)
            std::fprintf(stderr, "vyrsim: %s=%s is neither 0 nor 1; %s\n", name, value, instead);
        else
            std::fprintf(stderr, "vyrsim: %s=%s is not a number from %d to %d; %s\n", name, value,
                         low, high, instead);
        return fallback;
    }
    return int(parsed);
}

} // namespace

Module &Module::instance()
{
    static Module module;
    return module;
}

Module::Module()
{
    // Defaults for a person trying the program by hand; tests reset them.
    const bool attached
        = envInt("VYRSIM_NO_MODULE", 0, 0, 1, "the module is attached, as with 0") == 0;
    const int delayMs = envInt("VYRSIM_DELAY_MS", 30, 0, kMaxDelayMs, "30 ms is used");
    const bool autopilot
        = envInt("VYRSIM_AUTOPILOT", 1, 0, 1, "the autopilot is on, as with 1") != 0;
    const int finger = envInt("VYRSIM_FINGER", 1, 1, 1000000, "finger 1 is pressed");

    const char *storeVariable = std::getenv("VYRSIM_STORE");
    const std::string storePath
        = storeVariable && *storeVariable ? storeVariable : StoreFile::defaultPath();
    m_board.locked([&](Board::State &s) {
        s.attached = attached;
        s.delayMs = delayMs;
        s.sensor.setAutopilot(autopilot, finger);
    });
    if (storePath.empty())
        std::fprintf(stderr, "vyrsim: no home directory, the store is kept in memory only\n");
    m_board.useStore(storePath == "none" ? nullptr : storePath.c_str());
    addStartTemplates();
}

void Module::addStartTemplates()
{
    // More templates of the autopilot's finger, e.g. "3,12,40".
    const char *ids = std::getenv("VYRSIM_TEMPLATES");
    if (!ids || !*ids)
        return;
    const int capacity = m_storeControl.capacity();
    const int finger = m_board.locked([](Board::State &s) { return s.sensor.autopilotFinger(); });
    std::string skipped;
    for (const char *p = ids; *p;) {
        const char *comma = std::strchr(p, ',');
        const std::string item(p, comma ? std::size_t(comma - p) : std::strlen(p));
        p = comma ? comma + 1 : p + item.size();
        char *end = nullptr;
        errno = 0;
        const long id = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end || errno == ERANGE || id < 0 || id >= capacity) {
            skipped += (skipped.empty() ? "" : ",") + item;
            continue;
        }
        const Template t = m_enrollments.of(finger);
        m_board.changeStore([&](Board::State &, Store &next) {
            next.put(int(id), t);
            return VYRSIM_OK;
        });
    }
    if (!skipped.empty())
        std::fprintf(stderr,
                     "vyrsim: VYRSIM_TEMPLATES=%s holds %s, which is no ID from 0 to %d; the "
                     "other IDs are used\n",
                     ids, skipped.c_str(), capacity - 1);
}

} // namespace vyrsim
