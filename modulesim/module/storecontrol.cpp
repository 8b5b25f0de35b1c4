#include "storecontrol.h"

#include "templatecodec.h"
#include "vyrsim_codes.h"

#include <cstring>

namespace vyrsim {

int StoreControl::useStore(const char *path)
{
    return m_board.useStore(path);
}

int StoreControl::setCapacity(int ids)
{
    return m_board.changeStore([&](Board::State &, Store &next) {
        next.setCapacity(ids);
        return VYRSIM_OK;
    });
}

int StoreControl::capacity() const
{
    return m_board.locked([](const Board::State &s) { return s.store.store().capacity(); });
}

int StoreControl::storeFinger(int id, int finger)
{
    if (finger < 1 || id < 0 || id >= capacity())
        return VYRSIM_ERR_BAD_ID;
    const Template t = m_enrollments.of(finger);
    // Only the change of the store itself takes the module's lock; the
    // capacity is checked again, as it may have shrunk meanwhile.
    return m_board.changeStore([&](Board::State &, Store &next) {
        if (!next.contains(id))
            return VYRSIM_ERR_BAD_ID;
        next.put(id, t);
        return VYRSIM_OK;
    });
}

int StoreControl::stored(int id) const
{
    return m_board.locked([&](const Board::State &s) {
        const Store &store = s.store.store();
        if (!store.contains(id))
            return -1;
        return store.occupied(id) ? 1 : 0;
    });
}

int StoreControl::storeDelete(int id)
{
    return m_board.changeStore([&](Board::State &s, Store &next) -> int {
        if (const int rc = s.store.held(id))
            return rc;
        next.erase(id, 1);
        return VYRSIM_OK;
    });
}

int StoreControl::storeClear()
{
    return m_board.changeStore([](Board::State &, Store &next) {
        next.clear();
        return VYRSIM_OK;
    });
}

int StoreControl::storeExport(int id, unsigned char *block) const
{
    if (!block)
        return VYRSIM_ERR_BAD_ARGUMENT;
    return m_board.locked([&](const Board::State &s) -> int {
        if (const int rc = s.store.held(id))
            return rc;
        const TemplateBytes bytes = encodeTemplate(s.store.store().at(id));
        std::memcpy(block, bytes.data(), bytes.size());
        return VYRSIM_OK;
    });
}

int StoreControl::storeImport(int id, const unsigned char *block, int length)
{
    if (!block)
        return VYRSIM_ERR_BAD_ARGUMENT;
    std::optional<Template> t = decodeTemplate(block, length);
    return m_board.changeStore([&](Board::State &, Store &next) {
        if (!next.contains(id))
            return VYRSIM_ERR_BAD_ID;
        if (!t || t->empty())
            return VYRSIM_ERR_TEMPLATE;
        next.put(id, std::move(*t));
        return VYRSIM_OK;
    });
}

} // namespace vyrsim
