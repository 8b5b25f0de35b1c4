#include "handover.h"

#include <algorithm>
#include <cstring>

HandOver &HandOver::instance()
{
    static HandOver handOver;
    return handOver;
}

unsigned char *HandOver::post(const unsigned char *data, int size)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_slotFreed.wait(lock, [this] { return m_busy < kSlots || m_receiverWaiting; });
    auto free = std::find_if(m_slots.begin(), m_slots.end(),
                             [](const std::unique_ptr<Slot> &slot) { return !slot->busy; });
    if (free == m_slots.end())
        free = m_slots.insert(m_slots.end(), std::make_unique<Slot>());
    Slot &slot = **free;
    slot.bytes.assign(data, data + std::max(size, 0));
    slot.busy = true;
    ++m_busy;
    return slot.bytes.data();
}

bool HandOver::claim(const unsigned char *data)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return std::any_of(m_slots.begin(), m_slots.end(), [data](const std::unique_ptr<Slot> &slot) {
        return slot->busy && slot->bytes.data() == data;
    });
}

void HandOver::release(const unsigned char *data)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (const std::unique_ptr<Slot> &slot : m_slots) {
        if (slot->busy && slot->bytes.data() == data) {
            slot->busy = false;
            --m_busy;
            m_slotFreed.notify_all();
            return;
        }
    }
}

HandOver::Receipt::Receipt(const unsigned char *data)
    : m_slot(HandOver::instance().claim(data) ? data : nullptr)
{ }

HandOver::Receipt::~Receipt()
{
    if (m_slot)
        HandOver::instance().release(m_slot);
}

void HandOver::setReceiverWaiting(bool waiting)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_receiverWaiting = waiting;
    m_slotFreed.notify_all();
}

void HandOver::discardAll()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (const std::unique_ptr<Slot> &slot : m_slots)
        slot->busy = false;
    m_busy = 0;
    // Slots taken beyond the bound while the receiver waited are not needed any more.
    if (m_slots.size() > std::size_t(kSlots))
        m_slots.resize(std::size_t(kSlots));
    m_slotFreed.notify_all();
}

int HandOver::inFlight() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_busy;
}

int HandOver::slotCount() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_slots.size());
}
