#ifndef MODULE_H
#define MODULE_H

#include "board.h"
#include "device.h"
#include "devicestore.h"
#include "enrollments.h"
#include "storecontrol.h"
#include "testcontrol.h"

namespace vyrsim {

// The simulated fingerprint module, one for the process, made from the
// environment when first asked for. Its parts, each readable alone: the
// Board holds the state and the one lock; Device and DeviceStore are the
// entry points' behaviour; TestControl and StoreControl what tests and the
// control channel set; Enrollments the synthetic fingers stored on request.
class Module
{
public:
    static Module &instance();

    Device &device() { return m_device; }
    DeviceStore &deviceStore() { return m_deviceStore; }
    TestControl &control() { return m_control; }
    StoreControl &storeControl() { return m_storeControl; }

private:
    Module();
    void addStartTemplates();

    Board m_board;
    Enrollments m_enrollments;
    Device m_device {m_board};
    DeviceStore m_deviceStore {m_board};
    TestControl m_control {m_board};
    StoreControl m_storeControl {m_board, m_enrollments};
};

} // namespace vyrsim

#endif // MODULE_H
