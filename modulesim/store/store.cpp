#include "store.h"

#include <algorithm>
#include <cstring>

namespace vyrsim {

Store::Store(int capacity)
    : m_slots(std::size_t(std::clamp(capacity, 1, kMaxCapacity)))
{ }

void Store::setCapacity(int ids)
{
    m_slots.resize(std::size_t(std::clamp(ids, 1, kMaxCapacity)));
    m_slots.shrink_to_fit();
}

int Store::count() const
{
    return int(std::count_if(m_slots.begin(), m_slots.end(),
                             [](const Template &t) { return !t.empty(); }));
}

void Store::put(int id, Template t)
{
    t.minutiae.shrink_to_fit();
    m_slots[std::size_t(id)] = std::move(t);
}

void Store::erase(int first, int count)
{
    for (int id = first; id < first + count; ++id)
        m_slots[std::size_t(id)] = Template();
}

void Store::clear()
{
    for (Template &t : m_slots)
        t = Template();
}

void Store::setNotepad(int page, const unsigned char *data)
{
    std::memcpy(m_notepad[std::size_t(page)].data(), data, kNotepadPageBytes);
}

void Store::indexBits(int firstId, unsigned char *bits, int bytes) const
{
    std::memset(bits, 0, std::size_t(bytes));
    for (int i = 0; i < bytes * 8; ++i)
        if (occupied(firstId + i))
            bits[i / 8] = static_cast<unsigned char>(bits[i / 8] | (1u << (i % 8)));
}

} // namespace vyrsim
