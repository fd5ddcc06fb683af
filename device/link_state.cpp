#include "link_state.h"

QString LinkMode;
QString RxLine;
std::int32_t RxLineCount = 0;
std::array<std::uint8_t, 600> RxBuffer{};
QString SelectedPort;
