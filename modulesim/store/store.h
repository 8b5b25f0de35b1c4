#ifndef STORE_H
#define STORE_H

// The module's flash: numbered template slots, each empty or holding one
// template, and the notepad pages. Kept compact: a template is its minutiae
// and ridge cells and nothing derived from them, so 1,000 full slots take
// about 750 kB of heap (the matcher benchmark counts it).

#include "template.h"

#include <array>
#include <vector>

namespace vyrsim {

class Store
{
public:
    static constexpr int kMaxCapacity = 1024;
    static constexpr int kDefaultCapacity = 1000;
    static constexpr int kNotepadPages = 16;
    static constexpr int kNotepadPageBytes = 32;
    using NotepadPage = std::array<unsigned char, kNotepadPageBytes>;

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

    const NotepadPage &notepad(int page) const { return m_notepad[std::size_t(page)]; }
    void setNotepad(int page, const unsigned char *data);

private:
    std::vector<Template> m_slots; // an empty template is an empty slot
    std::array<NotepadPage, kNotepadPages> m_notepad {};
};

} // namespace vyrsim

#endif // STORE_H
