#include "boxes.h"

#include "application.h"

#include <QMessageBox>
#include <QPushButton>

void ShowNotice(const QString& Text)
{
    QMessageBox Box(QApplication::activeWindow());
    Box.setObjectName(QStringLiteral("NoticeBox"));
    Box.setWindowTitle(Application ? Application->Title : QString());
    Box.setIcon(QMessageBox::NoIcon);
    Box.setTextFormat(Qt::PlainText);
    Box.setText(NoticeBoxText(Text));
    QPushButton* Ok = Box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    Box.setDefaultButton(Ok);
    Box.setWindowModality(Qt::ApplicationModal);
    Box.exec();
}
