// The 32-bit millisecond tick counter (wraps after 2^32 ms), with a replaceable source for tests.
#pragma once

#include <cstdint>

using TTickSource = std::uint32_t (*)();

std::uint32_t GetTickCount();
// nullptr restores the monotonic clock.
void SetTickSource(TTickSource Source);
