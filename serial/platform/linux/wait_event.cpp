// The event object as an eventfd: set = counter above zero, so poll and epoll can watch it.
#include "serial/wait_event.h"

#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

TWaitEvent::TWaitEvent(bool InitialState)
    : FHandle(eventfd(InitialState ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

TWaitEvent::~TWaitEvent()
{
    if (FHandle >= 0)
        close(FHandle);
}

void TWaitEvent::SetEvent()
{
    uint64_t One = 1;
    (void)!write(FHandle, &One, sizeof One);
}

void TWaitEvent::ResetEvent()
{
    uint64_t Value;
    (void)!read(FHandle, &Value, sizeof Value);
}

bool TWaitEvent::IsSet() const
{
    pollfd P{FHandle, POLLIN, 0};
    return poll(&P, 1, 0) == 1 && (P.revents & POLLIN);
}
