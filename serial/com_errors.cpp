#include "com_errors.h"

#include "com_types.h"

#include <array>

namespace {
const std::array<const char*, 24> ErrorTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
    "Port Not Open",
};

struct TEventFlag
{
    TComEvent Event;
    uint32_t Flag;
};
const TEventFlag EventFlags[] = {
    {evRxChar, 0x001}, {evRxFlag, 0x002}, {evTxEmpty, 0x004}, {evCTS, 0x008},
    {evDSR, 0x010},    {evRLSD, 0x020},   {evBreak, 0x040},   {evError, 0x080},
    {evRing, 0x100},   {evRx80Full, 0x400},
};
} // namespace

QString ComErrorText(int Code)
{
    if (Code < 1 || Code > static_cast<int>(ErrorTexts.size()))
        return {};
    return QString::fromLatin1(ErrorTexts[static_cast<size_t>(Code - 1)]);
}

EComPort::EComPort(int ACode, int AWinCode, const QString& Message)
    : Exception(Message), FWinCode(AWinCode), FCode(ACode)
{
}

EComPort::EComPort(int ACode, int AWinCode)
    : EComPort(ACode, AWinCode, ComErrorText(ACode) + QStringLiteral(" (Error: %1)").arg(AWinCode))
{
}

EComPort EComPort::CreateNoWinCode(int ACode) { return EComPort(ACode, -1, ComErrorText(ACode)); }

uint32_t EventsToMask(TComEvents Events)
{
    uint32_t Mask = 0;
    for (const auto& E : EventFlags)
        if (Events.Contains(E.Event))
            Mask |= E.Flag;
    return Mask;
}

TComEvents MaskToEvents(uint32_t Mask)
{
    TComEvents Events;
    for (const auto& E : EventFlags)
        if (Mask & E.Flag)
            Events.Include(E.Event);
    return Events;
}
