// The item decoders: any text, any outcome but a crash or an undefined result.
#include "core/exceptions.h"
#include "device/codecs.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    QString Text;
    for (std::size_t I = 0; I < Size; ++I)
        Text.append(QChar(static_cast<char16_t>(Data[I])));
    try {
        const std::int32_t Value = StrToInt(Text);
        // Whatever parsed must print back to an integer that parses to the same value.
        if (StrToInt(QString::number(Value)) != Value)
            std::abort();
        (void)MaskFromLine(Text);
    } catch (const EConvertError&) {
    }
    (void)FlagFromLine(Text);
    // The telephone rules undo each other on texts without "+98" or "0" clashes.
    const QString Out = TelephoneToDevice(Text);
    if (!Text.contains(u'0') && Out != Text)
        std::abort();
    (void)TelephoneFromDevice(Text);
    return 0;
}
