// The simulator's request and export parser: any byte stream, any timing.
#include "sim/relay_simulator.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TRelaySimulator Sim;
    std::int64_t Now = 0;
    std::size_t At = 0;
    while (At < Size) {
        // Each chunk: one byte of time step (in 10 ms), one of length, then the bytes.
        Now += static_cast<std::int64_t>(Data[At]) * 10000;
        if (++At >= Size)
            break;
        const std::size_t Chunk = std::min<std::size_t>(Data[At], Size - At - 1);
        ++At;
        Sim.Receive(std::string_view(reinterpret_cast<const char*>(Data + At), Chunk), Now);
        Sim.Advance(Now);
        (void)Sim.TakeWrites();
        (void)Sim.TakeEvents();
        (void)Sim.TakeStored();
        At += Chunk;
        if (Sim.HangupRequested())
            break;
    }
    return 0;
}
