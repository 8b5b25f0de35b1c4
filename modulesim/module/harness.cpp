#include "harness.h"

#include "vyr_entrypoints.h"

#include <algorithm>
#include <iterator>

namespace vyrsim {

namespace {

#define VYR_ENTRY_NAME(result, name, parameters, shapes) #name,
constexpr const char *kEntryPoints[] = {VYR_ENTRY_POINTS(VYR_ENTRY_NAME)};
#undef VYR_ENTRY_NAME

} // namespace

bool isEntryPoint(const std::string &name)
{
    return std::find(std::begin(kEntryPoints), std::end(kEntryPoints), name)
        != std::end(kEntryPoints);
}

Harness &Harness::instance()
{
    static Harness harness;
    return harness;
}

void Harness::reset()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
    m_closedGates.clear();
    m_log.clear();
    m_gateOpened.notify_all();
}

bool Harness::setFault(const std::string &entry, int first, int count, int code)
{
    if (!isEntryPoint(entry) || first < 1 || count == 0 || count < -1)
        return false;
    const std::lock_guard<std::mutex> lock(m_mutex);
    Fault &fault = m_faults[entry];
    fault.first = first;
    fault.last = count < 0 ? -1 : (long long)first + count - 1;
    fault.code = code;
    fault.calls = 0;
    return true;
}

void Harness::clearFaults()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

std::string Harness::describeFaults() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    for (const auto &[entry, fault] : m_faults) {
        const long long next = fault.calls + 1;
        if (fault.last >= 0 && next > fault.last)
            continue; // spent
        text += text.empty() ? "" : ",";
        text += entry + ":" + std::to_string(fault.code) + ":";
        text += fault.last < 0 ? std::string("all")
                               : std::to_string(fault.last - std::max(next, fault.first) + 1);
        if (next < fault.first)
            text += "@" + std::to_string(fault.first - next + 1);
    }
    return text.empty() ? "none" : text;
}

bool Harness::setGate(const std::string &entry, bool closed)
{
    if (!isEntryPoint(entry) && entry != kEnrollmentGate && entry != kStoreWriteGate)
        return false;
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (closed) {
        m_closedGates.insert(entry);
    } else {
        m_closedGates.erase(entry);
        m_gateOpened.notify_all();
    }
    return true;
}

int Harness::waiting() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_waiting;
}

std::optional<int> Harness::enter(const char *entry)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    waitAtGate(lock, entry);
    const auto it = m_faults.find(entry);
    if (it == m_faults.end())
        return std::nullopt;
    Fault &fault = it->second;
    const long long call = ++fault.calls;
    if (call >= fault.first && (fault.last < 0 || call <= fault.last))
        return fault.code;
    return std::nullopt;
}

void Harness::passGate(const char *name)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    waitAtGate(lock, name);
}

void Harness::waitAtGate(std::unique_lock<std::mutex> &lock, const char *name)
{
    if (m_closedGates.count(name)) {
        ++m_waiting;
        m_gateOpened.wait(lock, [&] { return m_closedGates.count(name) == 0; });
        --m_waiting;
    }
}

void Harness::record(std::string line)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_log.push_back(std::move(line));
    if (m_log.size() > kLogKept)
        m_log.pop_front();
}

int Harness::logSize() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_log.size());
}

std::optional<std::string> Harness::logEntry(int index) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (index < 0 || std::size_t(index) >= m_log.size())
        return std::nullopt;
    return m_log[std::size_t(index)];
}

void Harness::clearLog()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

} // namespace vyrsim
