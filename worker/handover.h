#ifndef HANDOVER_H
#define HANDOVER_H

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

// How frames and index bitmaps cross from the worker thread to the window.
//
// The worker keeps rewriting fpimage and UserContent, so a report never
// carries their address. post() copies the content, at the moment of the
// report, into a slot of this pool, and the signal carries the slot's
// address instead. From then on the slot belongs to the receiver, which
// reads it inside a Receipt; the Receipt's end gives the slot back. The
// pool's lock orders the copy before the read and the read before the
// slot's next use.
//
// At most kSlots reports are on their way at once: when the window falls
// behind, post() waits for a slot, so the worker never runs unboundedly
// ahead and memory stays bounded. While the GUI thread itself waits for the
// worker (the close command, the window's shutdown) it cannot give slots
// back; it says so with setReceiverWaiting(true), and post() then takes an
// extra slot instead of waiting, which cannot deadlock. When the receiver is
// destroyed with reports still queued to it, discardAll() takes back the
// slots of the reports that will never arrive.
class HandOver
{
public:
    static constexpr int kSlots = 8;

    static HandOver &instance();

    // Worker thread: copies `size` bytes and returns the slot that holds them.
    unsigned char *post(const unsigned char *data, int size);

    // GUI thread: gives the slot behind `data` back at its end. Memory that is
    // not a slot (a caller's own buffer) passes through untouched.
    class Receipt
    {
    public:
        explicit Receipt(const unsigned char *data);
        ~Receipt();
        Receipt(const Receipt &) = delete;
        Receipt &operator=(const Receipt &) = delete;

    private:
        const unsigned char *m_slot = nullptr;
    };

    void setReceiverWaiting(bool waiting);
    void discardAll();

    int inFlight() const;
    int slotCount() const;

private:
    HandOver() = default;

    struct Slot
    {
        std::vector<unsigned char> bytes;
        bool busy = false;
    };

    bool claim(const unsigned char *data);
    void release(const unsigned char *data);

    mutable std::mutex m_mutex;
    std::condition_variable m_slotFreed;
    std::vector<std::unique_ptr<Slot>> m_slots;
    int m_busy = 0;
    bool m_receiverWaiting = false;
};

#endif // HANDOVER_H
