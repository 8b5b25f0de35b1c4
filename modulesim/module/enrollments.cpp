#include "enrollments.h"

#include "extractor.h"
#include "fingersynth.h"
#include "harness.h"
#include "merge.h"

namespace vyrsim {

namespace {

// Enrolled fingers kept: a test fills a store from a few fingers, but a
// script may add a thousand different ones.
constexpr std::size_t kFingersKept = 64;

} // namespace

std::optional<Template> Enrollments::kept(int finger)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto known = m_fingers.find(finger);
    if (known == m_fingers.end())
        return std::nullopt;
    return known->second;
}

void Enrollments::keep(int finger, const Template &t)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_fingers.emplace(finger, t).second)
        return;
    m_order.push_back(finger);
    if (m_order.size() > kFingersKept) {
        m_fingers.erase(m_order.front());
        m_order.pop_front();
    }
}

Template Enrollments::of(int finger)
{
    if (std::optional<Template> known = kept(finger))
        return std::move(*known);
    // Two threads enrolling one finger at once both get the same template.
    Harness::instance().passGate(kEnrollmentGate);
    // Two presses of the finger, as an operator would give them, made into
    // features and merged like an enrollment; a press the gate refuses is
    // given again. Press numbers far beyond the sensor's own keep these
    // presses apart from those the sensor shows.
    GreyImage frame(kFrameWidth, kFrameHeight);
    Template first;
    Template enrolled;
    for (unsigned press = 1u << 30; press < (1u << 30) + 16 && enrolled.empty(); ++press) {
        renderFinger(finger, pressFor(finger, press), press, frame.cells.data());
        const Extraction e = extractFeatures(frame);
        if (!e.accepted)
            continue;
        if (first.empty()) {
            first = e.feature;
        } else if (auto merged = mergeFeatures(first, e.feature)) {
            enrolled = std::move(*merged);
        }
    }
    if (enrolled.empty())
        enrolled = first;
    keep(finger, enrolled);
    return enrolled;
}

} // namespace vyrsim
