// The enumerations, sets and handler types of the serial port component.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "core/notify_event.h"
#include "core/thread.h"

enum TBaudRate { brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
                 br38400, br56000, br57600, br115200, br128000, br256000 };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD,
                 evRx80Full };
enum TComSignal { csCTS, csDSR, csRing, csRLSD };
enum TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };
enum TStoredProp { spBasic, spFlowControl, spBuffer, spTimeouts, spParity, spOthers };
enum TStoreType { stRegistry, stIniFile };
enum TComStateFlag { fCtlHold, fDsrHold, fRlsHold, fXoffHold, fXOffSent, fEof, fTxim };
enum TOperationKind { okWrite, okRead };

// A set of enumeration values: bit i stands for ordinal i.
template <class E> class TSet
{
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Values)
    {
        for (E V : Values)
            FBits |= Bit(V);
    }
    static constexpr TSet FromBits(uint32_t Bits)
    {
        TSet S;
        S.FBits = Bits;
        return S;
    }
    constexpr uint32_t Bits() const { return FBits; }
    constexpr bool Contains(E V) const { return FBits & Bit(V); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet& Include(E V) { FBits |= Bit(V); return *this; }
    constexpr TSet& Exclude(E V) { FBits &= ~Bit(V); return *this; }
    constexpr TSet operator|(TSet O) const { return FromBits(FBits | O.FBits); }
    constexpr TSet operator&(TSet O) const { return FromBits(FBits & O.FBits); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr uint32_t Bit(E V) { return 1u << static_cast<unsigned>(V); }
    uint32_t FBits = 0;
};

using TComEvents = TSet<TComEvent>;
using TComSignals = TSet<TComSignal>;
using TComErrors = TSet<TComError>;
using TStoredProps = TSet<TStoredProp>;
using TComStateFlags = TSet<TComStateFlag>;

inline constexpr TComEvents AllComEvents = TComEvents::FromBits(0x3FF);

// The operating system's event flags for a set of events, and back (other flags are ignored).
uint32_t EventsToMask(TComEvents Events);
TComEvents MaskToEvents(uint32_t Mask);

enum TComExceptions { CE_OpenFailed, CE_WriteFailed, CE_ReadFailed, CE_InvalidAsync,
                      CE_PurgeFailed, CE_AsyncCheck, CE_SetStateFailed, CE_TimeoutsFailed,
                      CE_SetupComFailed, CE_ClearComFailed, CE_ModemStatFailed,
                      CE_EscapeComFailed, CE_TransmitFailed, CE_ConnChangeProp,
                      CE_EnumPortsFailed, CE_StoreFailed, CE_LoadFailed, CE_RegFailed,
                      CE_LedStateFailed, CE_ThreadCreated, CE_WaitFailed, CE_HasLink,
                      CE_RegError, CEPortNotOpen };

// The error code (1 to 24) that reports a failure.
constexpr int ComErrorCode(TComExceptions Failure) { return int(Failure) + 1; }

// Handlers; Sender is the port.
using TRxCharEvent = std::function<void(QObject* Sender, int Count)>;
using TRxBufEvent = std::function<void(QObject* Sender, const char* Buffer, int Count)>;
using TComSignalEvent = std::function<void(QObject* Sender, bool OnOff)>;
using TComErrorEvent = std::function<void(QObject* Sender, TComErrors Errors)>;
using TComExceptionEvent =
    std::function<void(QObject* Sender, TComExceptions TComException,
                       const QString& ComportMessage, int64_t WinError, const QString& WinMessage)>;
