// The four settings objects of the port. Each setter stores a changed value and has the port
// re-apply its group (which acts only on an open port); Assign copies without applying.
#pragma once

#include "com_types.h"

class TCustomComPort;

class TComBuffer
{
public:
    explicit TComBuffer(TCustomComPort* AComPort) : FComPort(AComPort) {}
    void Assign(const TComBuffer& Source);
    TCustomComPort* ComPort() const { return FComPort; }

    int InputSize() const { return FInputSize; }
    // An odd positive size is made even (1025 becomes 1024).
    void SetInputSize(int Value);
    int OutputSize() const { return FOutputSize; }
    void SetOutputSize(int Value);

private:
    TCustomComPort* FComPort;
    int FInputSize = 1024;
    int FOutputSize = 1024;
};

class TComTimeouts
{
public:
    explicit TComTimeouts(TCustomComPort* AComPort) : FComPort(AComPort) {}
    void Assign(const TComTimeouts& Source);
    TCustomComPort* ComPort() const { return FComPort; }

    // Milliseconds; -1 stands for the all-ones value.
    int ReadInterval() const { return FReadInterval; }
    void SetReadInterval(int Value);
    int ReadTotalMultiplier() const { return FReadTotalMultiplier; }
    void SetReadTotalMultiplier(int Value);
    int ReadTotalConstant() const { return FReadTotalConstant; }
    void SetReadTotalConstant(int Value);
    int WriteTotalMultiplier() const { return FWriteTotalMultiplier; }
    void SetWriteTotalMultiplier(int Value);
    int WriteTotalConstant() const { return FWriteTotalConstant; }
    void SetWriteTotalConstant(int Value);

private:
    void Set(int& Field, int Value);
    TCustomComPort* FComPort;
    int FReadInterval = -1;
    int FReadTotalMultiplier = 0;
    int FReadTotalConstant = 0;
    int FWriteTotalMultiplier = 100;
    int FWriteTotalConstant = 1000;
};

class TComParity
{
public:
    explicit TComParity(TCustomComPort* AComPort) : FComPort(AComPort) {}
    void Assign(const TComParity& Source);
    TCustomComPort* ComPort() const { return FComPort; }

    TParityBits Bits() const { return FBits; }
    void SetBits(TParityBits Value);
    bool Check() const { return FCheck; }
    void SetCheck(bool Value);
    bool Replace() const { return FReplace; }
    void SetReplace(bool Value);
    QChar ReplaceChar() const { return FReplaceChar; }
    void SetReplaceChar(QChar Value);

private:
    template <class T> void Set(T& Field, T Value);
    TCustomComPort* FComPort;
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    QChar FReplaceChar = QChar(0);
};

class TComFlowControl
{
public:
    explicit TComFlowControl(TCustomComPort* AComPort) : FComPort(AComPort) {}
    void Assign(const TComFlowControl& Source);
    TCustomComPort* ComPort() const { return FComPort; }

    bool OutCTSFlow() const { return FOutCTSFlow; }
    void SetOutCTSFlow(bool Value);
    bool OutDSRFlow() const { return FOutDSRFlow; }
    void SetOutDSRFlow(bool Value);
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    void SetControlDTR(TDTRFlowControl Value);
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    void SetControlRTS(TRTSFlowControl Value);
    bool XonXoffOut() const { return FXonXoffOut; }
    void SetXonXoffOut(bool Value);
    bool XonXoffIn() const { return FXonXoffIn; }
    void SetXonXoffIn(bool Value);
    bool DSRSensitivity() const { return FDSRSensitivity; }
    void SetDSRSensitivity(bool Value);
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    void SetTxContinueOnXoff(bool Value);
    QChar XonChar() const { return FXonChar; }
    void SetXonChar(QChar Value);
    QChar XoffChar() const { return FXoffChar; }
    void SetXoffChar(QChar Value);

    // The preset that the RTS, CTS and Xon/Xoff fields make; writing a preset sets them.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl Value);

private:
    template <class T> void Set(T& Field, T Value);
    TCustomComPort* FComPort;
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    QChar FXonChar = QChar(17);
    QChar FXoffChar = QChar(19);
};
