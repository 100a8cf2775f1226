#pragma once

// What a port offers beside IMidi when it can wake a reader as soon as input arrives, so that
// the input monitor need not poll. The monitor falls back to short sleeps for a port without it.
class MidiDataWait
{
public:
    virtual ~MidiDataWait() = default;

    // Blocks until received bytes are queued or msecs have passed; true when bytes are queued.
    virtual bool waitForData(unsigned long msecs) = 0;
};
