#ifndef DEVICE_H
#define DEVICE_H

#include "board.h"
#include "matcher.h"

#include <array>

namespace vyrsim {

// The entry points' behaviour for the session, the sensor and the feature
// buffers; those on the store are DeviceStore's. Every method returns a
// status code of vyrsim.h; argument checks come before any change of state.
// What the module decides about a finger it decides from the image in its
// buffer alone: features by the extractor, matches by the matcher.
class Device
{
public:
    explicit Device(Board &board)
        : m_board(board)
    { }

    int setPath(int path, int option);
    int setMode(int mode);
    int open(int *handle);
    int close(int h);
    int verifyPassword(int h, int addr, const unsigned char *password);
    int getImage(int h, int addr);
    int upImage(int h, int addr, unsigned char *image, int *length);
    int genChar(int h, int addr, int buffer);
    int match(int h, int addr, int *score);
    int search(int h, int addr, int buffer, int start, int count, int *id, int *score);
    int regModule(int h, int addr);
    int upChar(int h, int addr, int buffer, unsigned char *data, int *length);
    int downChar(int h, int addr, int buffer, const unsigned char *data, int length);
    int randomData(int h, int addr, unsigned char *data);
    int userDefine(int h, int addr, int port, int level);
    int setCharLen(int length);
    int getCharLen(int *length);

private:
    // What VYRMatch compares is made ready for matching as buffers 0 and 1
    // are written, so that a match only compares; the copies of what each
    // was made from tell match() when a buffer changed some other way.
    void makeReady(const Board::State &s, int buffer);

    Board &m_board;
    // Kept from one VYRMatch to the next, under the board's lock, so that a
    // match costs no heap.
    Matcher m_matcher; // buffer 0 as the probe
    EdgeTable m_candidate; // buffer 1
    std::array<Template, 2> m_readyFrom;
};

} // namespace vyrsim

#endif // DEVICE_H
