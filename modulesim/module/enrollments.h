#ifndef ENROLLMENTS_H
#define ENROLLMENTS_H

#include "template.h"

#include <deque>
#include <map>
#include <mutex>
#include <optional>

namespace vyrsim {

// The template a synthetic finger's enrollment makes, as the control calls
// store one: two presses rendered, made into features and merged. Kept for
// the fingers enrolled last, so that filling a store for a test does not
// enroll a finger anew; the oldest go first.
class Enrollments
{
public:
    // Takes a good tenth of a second for a finger not kept. Never call it
    // with the module's lock held: the program's calls go on meanwhile.
    Template of(int finger);

private:
    std::optional<Template> kept(int finger);
    void keep(int finger, const Template &t);

    // Guards the kept templates only; never held while enrolling.
    std::mutex m_mutex;
    std::map<int, Template> m_fingers;
    std::deque<int> m_order;
};

} // namespace vyrsim

#endif // ENROLLMENTS_H
