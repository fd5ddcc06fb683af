#include "com_settings.h"

#include "com_port.h"

namespace {
int EvenSize(int Value) { return Value > 0 && (Value % 2) ? Value - 1 : Value; }
} // namespace

void TComBuffer::Assign(const TComBuffer& Source)
{
    FInputSize = Source.FInputSize;
    FOutputSize = Source.FOutputSize;
}

void TComBuffer::SetInputSize(int Value)
{
    if (Value == FInputSize)
        return;
    FInputSize = EvenSize(Value);
    FComPort->ApplyBufferSizes();
}

void TComBuffer::SetOutputSize(int Value)
{
    if (Value == FOutputSize)
        return;
    FOutputSize = EvenSize(Value);
    FComPort->ApplyBufferSizes();
}

void TComTimeouts::Assign(const TComTimeouts& Source)
{
    FReadInterval = Source.FReadInterval;
    FReadTotalMultiplier = Source.FReadTotalMultiplier;
    FReadTotalConstant = Source.FReadTotalConstant;
    FWriteTotalMultiplier = Source.FWriteTotalMultiplier;
    FWriteTotalConstant = Source.FWriteTotalConstant;
}

void TComTimeouts::Set(int& Field, int Value)
{
    if (Field == Value)
        return;
    Field = Value;
    FComPort->ApplyTimeoutSettings();
}

void TComTimeouts::SetReadInterval(int Value) { Set(FReadInterval, Value); }
void TComTimeouts::SetReadTotalMultiplier(int Value) { Set(FReadTotalMultiplier, Value); }
void TComTimeouts::SetReadTotalConstant(int Value) { Set(FReadTotalConstant, Value); }
void TComTimeouts::SetWriteTotalMultiplier(int Value) { Set(FWriteTotalMultiplier, Value); }
void TComTimeouts::SetWriteTotalConstant(int Value) { Set(FWriteTotalConstant, Value); }

void TComParity::Assign(const TComParity& Source)
{
    FBits = Source.FBits;
    FCheck = Source.FCheck;
    FReplace = Source.FReplace;
    FReplaceChar = Source.FReplaceChar;
}

template <class T> void TComParity::Set(T& Field, T Value)
{
    if (Field == Value)
        return;
    Field = Value;
    FComPort->ApplyLineSettings();
}

void TComParity::SetBits(TParityBits Value) { Set(FBits, Value); }
void TComParity::SetCheck(bool Value) { Set(FCheck, Value); }
void TComParity::SetReplace(bool Value) { Set(FReplace, Value); }
void TComParity::SetReplaceChar(QChar Value) { Set(FReplaceChar, Value); }

void TComFlowControl::Assign(const TComFlowControl& Source)
{
    TCustomComPort* Port = FComPort;
    *this = Source;
    FComPort = Port;
}

template <class T> void TComFlowControl::Set(T& Field, T Value)
{
    if (Field == Value)
        return;
    Field = Value;
    FComPort->ApplyLineSettings();
}

void TComFlowControl::SetOutCTSFlow(bool Value) { Set(FOutCTSFlow, Value); }
void TComFlowControl::SetOutDSRFlow(bool Value) { Set(FOutDSRFlow, Value); }
void TComFlowControl::SetControlDTR(TDTRFlowControl Value) { Set(FControlDTR, Value); }
void TComFlowControl::SetControlRTS(TRTSFlowControl Value) { Set(FControlRTS, Value); }
void TComFlowControl::SetXonXoffOut(bool Value) { Set(FXonXoffOut, Value); }
void TComFlowControl::SetXonXoffIn(bool Value) { Set(FXonXoffIn, Value); }
void TComFlowControl::SetDSRSensitivity(bool Value) { Set(FDSRSensitivity, Value); }
void TComFlowControl::SetTxContinueOnXoff(bool Value) { Set(FTxContinueOnXoff, Value); }
void TComFlowControl::SetXonChar(QChar Value) { Set(FXonChar, Value); }
void TComFlowControl::SetXoffChar(QChar Value) { Set(FXoffChar, Value); }

TFlowControl TComFlowControl::FlowControl() const
{
    if (FControlRTS == rtsHandshake && FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut)
        return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl Value)
{
    if (Value != fcCustom) {
        FControlRTS = rtsDisable;
        FOutCTSFlow = FXonXoffIn = FXonXoffOut = false;
        if (Value == fcHardware) {
            FControlRTS = rtsHandshake;
            FOutCTSFlow = true;
        } else if (Value == fcSoftware) {
            FXonXoffIn = FXonXoffOut = true;
        }
    }
    FComPort->ApplyLineSettings();
}
