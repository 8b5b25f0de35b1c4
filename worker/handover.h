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
// reads it through receive(): the slot goes back when the reading returns.
// The pool's lock orders the copy before the read and the read before the
// slot's next use.
//
// At most kSlots reports are on their way at once: when the window falls
// behind, post() waits for a slot, so the worker never runs unboundedly
// ahead and memory stays bounded. While the GUI thread itself waits for the
// worker (the close command, the window's shutdown) it cannot give slots
// back; it holds a ReceiverWaiting for as long, and post() then takes an
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

    // GUI thread: the way a receiver reads a report's bytes. `read` gets them
    // for its duration and the slot goes back when it returns, so no receiver
    // can keep a slot or forget to give it back.
    template<typename Read> static void receive(const unsigned char *data, Read &&read)
    {
        const Receipt receipt(data);
        read(data);
    }

    // Gives the slot behind `data` back at its end. Memory that is not a slot
    // (a caller's own buffer) passes through untouched.
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

    // GUI thread, while it waits for the worker and so takes no reports.
    class ReceiverWaiting
    {
    public:
        ReceiverWaiting() { HandOver::instance().setReceiverWaiting(true); }
        ~ReceiverWaiting() { HandOver::instance().setReceiverWaiting(false); }
        ReceiverWaiting(const ReceiverWaiting &) = delete;
        ReceiverWaiting &operator=(const ReceiverWaiting &) = delete;
    };

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

    void setReceiverWaiting(bool waiting);
    bool claim(const unsigned char *data);
    void release(const unsigned char *data);

    mutable std::mutex m_mutex;
    std::condition_variable m_slotFreed;
    std::vector<std::unique_ptr<Slot>> m_slots;
    int m_busy = 0;
    bool m_receiverWaiting = false;
};

#endif // HANDOVER_H
