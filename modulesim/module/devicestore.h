#ifndef DEVICESTORE_H
#define DEVICESTORE_H

#include "board.h"

namespace vyrsim {

// The entry points that read and change what the module keeps: templates
// under IDs, their index and the notepad. Every method returns a status code
// of vyrsim.h; argument checks come before any change of state, and a change
// the store file refuses leaves the store as it was.
class DeviceStore
{
public:
    static constexpr int kIndexPages = 4;
    static constexpr int kIndexPageBytes = 32;

    explicit DeviceStore(Board &board)
        : m_board(board)
    { }

    int storeChar(int h, int addr, int buffer, int id);
    int loadChar(int h, int addr, int buffer, int id);
    int delChar(int h, int addr, int id, int count);
    int empty(int h, int addr);
    int readParTable(int h, int addr, unsigned char *table);
    int templateNum(int h, int addr, int *count);
    int readIndexTable(int h, int addr, int page, unsigned char *bits);
    int readInfo(int h, int addr, int page, unsigned char *data);
    int writeInfo(int h, int addr, int page, const unsigned char *data);

private:
    Board &m_board;
};

} // namespace vyrsim

#endif // DEVICESTORE_H
