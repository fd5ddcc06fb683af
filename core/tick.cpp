#include "tick.h"

#include <atomic>
#include <chrono>

namespace {
std::uint32_t MonotonicTick()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
std::atomic<TTickSource> Source{&MonotonicTick};
} // namespace

std::uint32_t GetTickCount() { return Source.load()(); }

void SetTickSource(TTickSource NewSource) { Source = NewSource ? NewSource : &MonotonicTick; }
