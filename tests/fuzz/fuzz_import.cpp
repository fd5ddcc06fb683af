// Arbitrary received bytes, in arbitrary receive-event splits, through the line building and
// the import into the real window's fields.
#include "app/application.h"
#include "core/exceptions.h"
#include "device/line_builder.h"
#include "ui/main_form.h"

#include <cstddef>
#include <cstdint>

namespace {
TForm4* Window = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static TApplication App(*argc, *argv);
    Window = new TForm4;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    QString Line;
    std::int32_t Count = 0;
    // The first byte of each chunk says how long the chunk is: the fuzzer picks the splits.
    std::size_t At = 0;
    while (At < Size) {
        const std::size_t Chunk = std::min<std::size_t>(1 + Data[At] % 64, Size - At - 1);
        ++At;
        BuildLines(Data + At, static_cast<int>(Chunk), Line, Count,
                   [](std::uint8_t Number, const QString& Text) {
                       try {
                           Window->ApplyImportedLine(Number, Text);
                       } catch (const EConvertError&) {
                           // A bad mask line is reported by the window, never a crash.
                       }
                   });
        At += Chunk;
    }
    return 0;
}
