#include "devicestore.h"

#include "vyrsim_codes.h"

#include <cstring>

namespace vyrsim {

int DeviceStore::storeChar(int h, int addr, int buffer, int id)
{
    return m_board.changeStoreOnDevice(h, addr, [&](Board::State &s, Store &next) {
        if (buffer < 0 || buffer >= Board::kBuffers)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (!next.contains(id))
            return VYRSIM_ERR_BAD_ID;
        const Template &t = s.buffers[std::size_t(buffer)];
        if (t.empty())
            return VYRSIM_ERR_EMPTY;
        next.put(id, t);
        return VYRSIM_OK;
    });
}

int DeviceStore::loadChar(int h, int addr, int buffer, int id)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) -> int {
        if (buffer < 0 || buffer >= Board::kBuffers)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (const int rc = s.store.held(id))
            return rc;
        s.buffers[std::size_t(buffer)] = s.store.store().at(id);
        return VYRSIM_OK;
    });
}

int DeviceStore::delChar(int h, int addr, int id, int count)
{
    return m_board.changeStoreOnDevice(h, addr, [&](Board::State &, Store &next) {
        if (count < 1)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (id < 0 || (long long)id + count > next.capacity())
            return VYRSIM_ERR_BAD_ID;
        next.erase(id, count);
        return VYRSIM_OK;
    });
}

int DeviceStore::empty(int h, int addr)
{
    return m_board.changeStoreOnDevice(h, addr, [](Board::State &, Store &next) {
        next.clear();
        return VYRSIM_OK;
    });
}

int DeviceStore::readParTable(int h, int addr, unsigned char *table)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (!table)
            return VYRSIM_ERR_BAD_ARGUMENT;
        // Status register, sensor type, capacity, security level, address,
        // packet size code and baud rate factor, each big-endian.
        const int capacity = s.store.store().capacity();
        const unsigned char parameters[16] = {0x00,
                                              0x00,
                                              0x00,
                                              0x09,
                                              static_cast<unsigned char>(capacity >> 8),
                                              static_cast<unsigned char>(capacity),
                                              0x00,
                                              0x03,
                                              0xff,
                                              0xff,
                                              0xff,
                                              0xff,
                                              0x00,
                                              0x02,
                                              0x00,
                                              0x06};
        std::memcpy(table, parameters, sizeof parameters);
        return VYRSIM_OK;
    });
}

int DeviceStore::templateNum(int h, int addr, int *count)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (!count)
            return VYRSIM_ERR_BAD_ARGUMENT;
        *count = s.store.store().count();
        return VYRSIM_OK;
    });
}

int DeviceStore::readIndexTable(int h, int addr, int page, unsigned char *bits)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (page < 0 || page >= kIndexPages || !bits)
            return VYRSIM_ERR_BAD_ARGUMENT;
        // Bit j of byte i stands for ID 256 * page + 8 * i + j, least significant bit first.
        s.store.store().indexBits(page * kIndexPageBytes * 8, bits, kIndexPageBytes);
        return VYRSIM_OK;
    });
}

int DeviceStore::readInfo(int h, int addr, int page, unsigned char *data)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (page < 0 || page >= Store::kNotepadPages || !data)
            return VYRSIM_ERR_BAD_ARGUMENT;
        std::memcpy(data, s.store.store().notepad(page).data(), Store::kNotepadPageBytes);
        return VYRSIM_OK;
    });
}

int DeviceStore::writeInfo(int h, int addr, int page, const unsigned char *data)
{
    return m_board.changeStoreOnDevice(h, addr, [&](Board::State &, Store &next) {
        if (page < 0 || page >= Store::kNotepadPages || !data)
            return VYRSIM_ERR_BAD_ARGUMENT;
        next.setNotepad(page, data);
        return VYRSIM_OK;
    });
}

} // namespace vyrsim
