#pragma once

#include <climits>

// What a port offers beside IMidi when it can wake a reader as soon as input arrives, so that
// the input monitor need not poll. The monitor falls back to short sleeps for a port without it.
class MidiDataWait
{
public:
    // waitForData's msecs for a wait without a time limit.
    static constexpr unsigned long noTimeLimit = ULONG_MAX;

    virtual ~MidiDataWait() = default;

    // Blocks until received bytes are queued, wakeWaiter is called, or msecs have passed; true
    // when bytes are queued.
    virtual bool waitForData(unsigned long msecs) = 0;
    // Ends the current or the next waitForData at once. Any thread.
    virtual void wakeWaiter() = 0;
};
