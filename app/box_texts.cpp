#include "box_texts.h"

#include <QRegularExpression>

QString ErrorBoxText(const QString& Message)
{
    if (!Message.isEmpty() && Message.back().unicode() > u'.')
        return Message + u'.';
    return Message;
}

QString NoticeBoxText(const QString& Text)
{
    static const QRegularExpression Breaks(QStringLiteral("\r\n|\n\r|\r|\n"));
    QString Result = Text;
    return Result.replace(Breaks, QStringLiteral("\n"));
}
