#ifndef STORE_H
#define STORE_H

// The module's template store: numbered slots, each empty or holding one
// template. Kept compact, as a module's flash would be: a template is its
// minutiae and nothing derived from them.

#include "template.h"

#include <vector>

namespace vyrsim {

class Store
{
public:
    static constexpr int kMaxCapacity = 1024;
    static constexpr int kDefaultCapacity = 1000;

    explicit Store(int capacity = kDefaultCapacity);

    int capacity() const { return int(m_slots.size()); }
    // Shrinking drops the templates beyond the new end.
    void setCapacity(int ids);

    bool contains(int id) const { return id >= 0 && id < capacity(); }
    bool occupied(int id) const { return contains(id) && !m_slots[std::size_t(id)].empty(); }
    const Template &at(int id) const { return m_slots[std::size_t(id)]; }
    int count() const;

    void put(int id, Template t);
    void erase(int first, int count);
    void clear();

    // Bit j of byte i set when ID 8 * i + j is occupied, counting from `firstId`.
    void indexBits(int firstId, unsigned char *bits, int bytes) const;

private:
    std::vector<Template> m_slots; // an empty template is an empty slot
};

} // namespace vyrsim

#endif // STORE_H
