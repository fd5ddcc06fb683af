// System calls that a signal interrupts are called again: the modem-line waiter's wake signal
// lands on any thread of the process.
#pragma once

#include <cerrno>

namespace ComPlatform {

// Calls a system call again while a signal interrupts it.
template <class TCall> auto Retried(TCall Call)
{
    decltype(Call()) Result;
    while ((Result = Call()) < 0 && errno == EINTR) {
    }
    return Result;
}

} // namespace ComPlatform
