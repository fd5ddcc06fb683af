#include "exceptions.h"

Exception::Exception(const QString& Message) : FMessage(Message), FWhat(Message.toUtf8()) {}

void Exception::SetMessage(const QString& Message)
{
    FMessage = Message;
    FWhat = Message.toUtf8();
}

QString ExceptionMessage(const std::exception& E)
{
    if (auto* Own = dynamic_cast<const Exception*>(&E))
        return Own->Message();
    return QString::fromUtf8(E.what());
}

namespace {
std::function<void(QObject*)>& Reporter()
{
    static std::function<void(QObject*)> Instance;
    return Instance;
}
} // namespace

void ReportException(QObject* Sender)
{
    if (Reporter())
        Reporter()(Sender);
}

void SetExceptionReporter(std::function<void(QObject* Sender)> Handler)
{
    Reporter() = std::move(Handler);
}
