// The configuration file's parser: any bytes give the items or EConfigFile, nothing else; and a
// file it takes, written out again, reads back as the same items.
#include "device/config_file.h"
#include "device/item_store.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const QByteArray Text(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    for (const bool Complete : {true, false}) {
        TItemStore Items;
        try {
            ParseConfigFile(Text, QStringLiteral("fuzz.toml"), Items, {.Complete = Complete});
        } catch (const EConfigFile&) {
            continue;
        }
        TItemStore Again;
        ParseConfigFile(FormatConfigFile(Items, Complete), QStringLiteral("again.toml"), Again);
        if (!(Again == Items))
            std::abort();
    }
    return 0;
}
