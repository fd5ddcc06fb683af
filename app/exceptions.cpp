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
