#include "box_texts.h"

#include "exceptions.h"

#include <QRegularExpression>

QString ErrorBoxText(const QString& Message)
{
    if (!Message.isEmpty() && Message.back().unicode() > u'.')
        return Message + u'.';
    return Message;
}

QString ErrorReportText(const std::exception& E)
{
    const QString Text = ErrorBoxText(ExceptionMessage(E));
    const auto* Own = dynamic_cast<const Exception*>(&E);
    return Own && !Own->Reason().isEmpty() ? Text + u'\n' + Own->Reason() : Text;
}

QString NoticeBoxText(const QString& Text)
{
    static const QRegularExpression Breaks(QStringLiteral("\r\n|\n\r|\r|\n"));
    QString Result = Text;
    return Result.replace(Breaks, QStringLiteral("\n"));
}
