// The framework's exception classes: every failure of the program is one of these.
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>
#include <functional>

class Exception : public std::exception
{
public:
    explicit Exception(const QString& Message);
    const QString& Message() const noexcept { return FMessage; }
    void SetMessage(const QString& Message);
    const char* what() const noexcept override { return FWhat.constData(); }
    // What follows the message as its own line: the cause in plain words and what to do.
    // Empty when there is nothing to add.
    const QString& Reason() const noexcept { return FReason; }
    void SetReason(const QString& Reason) { FReason = Reason; }

private:
    QString FMessage;
    QString FReason;
    QByteArray FWhat;
};

// A silent exception: it ends the handler but is never reported.
class EAbort : public Exception
{
public:
    using Exception::Exception;
};

class EThread : public Exception
{
public:
    using Exception::Exception;
};

// A text that does not hold the number it should.
class EConvertError : public Exception
{
public:
    using Exception::Exception;
};

// The message of any exception as the user sees it.
QString ExceptionMessage(const std::exception& E);

class QObject;
// Call from inside a catch block: hands the exception being handled to the application
// object's reporting (the windowed program's error box); dropped while none is installed.
void ReportException(QObject* Sender);
void SetExceptionReporter(std::function<void(QObject* Sender)> Reporter);
