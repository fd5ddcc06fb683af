// The serial port's exception and the texts of its 24 codes.
#pragma once

#include "core/exceptions.h"

// The fixed English text of a code 1 to 24 (empty outside).
QString ComErrorText(int Code);

class EComPort : public Exception
{
public:
    // Message: the code's text followed by " (Error: AWinCode)".
    EComPort(int ACode, int AWinCode);
    // Message: the code's text alone; WinCode -1.
    static EComPort CreateNoWinCode(int ACode);

    int WinCode() const { return FWinCode; }
    void SetWinCode(int Value) { FWinCode = Value; }
    int Code() const { return FCode; }
    void SetCode(int Value) { FCode = Value; }

private:
    EComPort(int ACode, int AWinCode, const QString& Message);
    int FWinCode;
    int FCode;
};
