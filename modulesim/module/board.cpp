#include "board.h"

#include "vyrsim_codes.h"

#include <chrono>
#include <thread>

namespace vyrsim {

int Board::State::deviceCheck(int h, int addr) const
{
    if (!attached || !open || h != handle)
        return VYRSIM_ERR_NO_DEVICE;
    if (addr != kAddress)
        return VYRSIM_ERR_COMMUNICATION;
    return VYRSIM_OK;
}

int Board::useStore(const char *path)
{
    const std::lock_guard<std::mutex> writing(m_storeWriter);
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.store.use(path);
}

void Board::pace() const
{
    const int ms = locked([](const State &state) { return state.delayMs; });
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace vyrsim
