#ifndef STORECONTROL_H
#define STORECONTROL_H

#include "board.h"
#include "enrollments.h"

namespace vyrsim {

// What a test or the control channel does to the store without the
// program's session: choose its file, size it, enroll synthetic fingers
// into it, move template blocks in and out. The changes return a status code
// of vyrsim.h; capacity() and stored() answer with a number.
class StoreControl
{
public:
    StoreControl(Board &board, Enrollments &enrollments)
        : m_board(board)
        , m_enrollments(enrollments)
    { }

    // Keeps the store in that file from now on, reading what it holds; null
    // keeps it in memory only.
    int useStore(const char *path);
    int setCapacity(int ids);
    // How many IDs the store has.
    int capacity() const;
    // Enrolls the synthetic finger under the ID; the enrollment runs
    // without the module's lock.
    int storeFinger(int id, int finger);
    // 1 when the ID holds a template, 0 when it is empty, -1 outside the store.
    int stored(int id) const;
    int storeDelete(int id);
    int storeClear();
    int storeExport(int id, unsigned char *block) const;
    int storeImport(int id, const unsigned char *block, int length);

private:
    Board &m_board;
    Enrollments &m_enrollments;
};

} // namespace vyrsim

#endif // STORECONTROL_H
