// A manual-reset event object that the serial waits can watch next to the device.
#pragma once

class TWaitEvent
{
public:
    explicit TWaitEvent(bool InitialState = false);
    ~TWaitEvent();
    TWaitEvent(const TWaitEvent&) = delete;
    TWaitEvent& operator=(const TWaitEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    bool IsSet() const;
    // The descriptor that reads as ready while the event is set.
    int Handle() const { return FHandle; }

private:
    int FHandle;
};
