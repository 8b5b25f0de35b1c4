#ifndef TESTCONTROL_H
#define TESTCONTROL_H

#include "board.h"

#include <string>

namespace vyrsim {

// What a test or the control channel sets about the module besides its
// store: whether it is attached, how slow it is, what lies on the sensor.
// Faults, gates and the call log are the Harness's; reset() clears those too.
class TestControl
{
public:
    explicit TestControl(Board &board)
        : m_board(board)
    { }

    // Back to a freshly attached module with nothing set. Also lets go of
    // the store file: a test never writes over a user's store.
    void reset();
    void setAttached(bool attached);
    void setDelayMs(int ms);
    void setAutopilot(bool on);
    void setAutopilotFinger(int finger);
    void setFrameMode(int mode);
    // The 4 bytes VYRVfyPwd compares with; null changes nothing.
    void setPassword(const unsigned char *password);
    void setFinger(int finger);
    void setScript(const int *fingers, int count);
    // How many scripted presses are still to come.
    int scriptLeft() const;
    // A status code of vyrsim.h.
    int placeImage(const unsigned char *pixels, int width, int height);
    // What the module is doing, as "key=value" pairs for a person or a script.
    std::string describe() const;

private:
    Board &m_board;
};

} // namespace vyrsim

#endif // TESTCONTROL_H
